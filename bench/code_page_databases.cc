// varnotte-code-page-dbs: writes the databases of the code page accuracy benchmark
// (bench/code-page-accuracy) from a list of their texts, many databases in one run.
//
//     varnotte-code-page-dbs LIST
//
// LIST is UTF-8 text, one instruction a line:
//     database PATH CODEPAGE    starts a database at PATH (a new folder) in CODEPAGE
//     name TEXT                 a file of that name in the root project
//     comment TEXT              a check-in of the last file with that comment
// Every text is encoded in the database's code page with iconv. Exit status 1 and a
// message on standard error when a line cannot be carried out.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "testing/code_page_words.h"
#include "testing/database_writer.h"

namespace {

class ListWriter {
  public:
    void Database(const std::string& path, int codePage) {
        Finish();
        writer_ = std::make_unique<vsstest::DatabaseWriter>(path);
        codePage_ = codePage;
        files_.clear();
        time_ = 1136116800;
    }

    void Name(const std::string& utf8) {
        files_.push_back(Writer().AddFile(Writer().Root(), Encode(utf8), NextStamp({})));
    }

    void Comment(const std::string& utf8) {
        if (files_.empty()) {
            throw std::runtime_error("a comment before any name");
        }
        Writer().CheckIn(files_.back(), NextStamp(Encode(utf8)));
    }

    void Finish() {
        if (writer_) {
            writer_->Write();
            writer_.reset();
        }
    }

  private:
    vsstest::DatabaseWriter& Writer() {
        if (!writer_) {
            throw std::runtime_error("a text before any database");
        }
        return *writer_;
    }

    std::string Encode(const std::string& utf8) const {
        return vsstest::EncodeInCodePage(utf8, codePage_);
    }

    vsstest::Stamp NextStamp(std::string comment) {
        time_ += 3600;
        return vsstest::Stamp{"Admin", time_, std::move(comment)};
    }

    std::unique_ptr<vsstest::DatabaseWriter> writer_;
    int codePage_ = 0;
    std::vector<vsstest::ItemId> files_;
    std::uint32_t time_ = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: varnotte-code-page-dbs LIST\n");
        return 2;
    }
    std::ifstream list(argv[1]);
    if (!list) {
        std::fprintf(stderr, "varnotte-code-page-dbs: cannot read %s\n", argv[1]);
        return 1;
    }
    ListWriter writer;
    std::string line;
    int number = 0;
    try {
        while (std::getline(list, line)) {
            ++number;
            const std::size_t space = line.find(' ');
            const std::string verb = line.substr(0, space);
            const std::string rest = space == line.npos ? std::string() : line.substr(space + 1);
            if (verb == "database") {
                const std::size_t last = rest.rfind(' ');
                if (last == rest.npos) {
                    throw std::runtime_error("database needs a path and a code page");
                }
                writer.Database(rest.substr(0, last), std::stoi(rest.substr(last + 1)));
            } else if (verb == "name") {
                writer.Name(rest);
            } else if (verb == "comment") {
                writer.Comment(rest);
            } else if (!verb.empty()) {
                throw std::runtime_error("unknown instruction \"" + verb + "\"");
            }
        }
        writer.Finish();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "varnotte-code-page-dbs: %s, line %d: %s\n", argv[1], number,
                     error.what());
        return 1;
    }
    return 0;
}
