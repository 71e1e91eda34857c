#include "testing/code_page_words.h"

#include <iconv.h>

#include <map>
#include <memory>
#include <stdexcept>

namespace vsstest {
namespace {

// UTF-8 words per code page; several per language so that generated texts vary.
const std::map<int, std::vector<std::string_view>>& WordTable() {
    static const std::map<int, std::vector<std::string_view>> table = {
        {932, {"設計", "仕様書", "テスト", "修正", "資料", "画面", "帳票"}},
        {936, {"设计", "测试", "修改", "文档", "界面", "报表"}},
        {949, {"설계", "테스트", "수정", "문서", "화면", "보고서"}},
        {950, {"設計", "測試", "修改", "文件", "畫面", "報表"}},
        {1250, {"Přehled", "Zkouška", "Úprava", "Šablona", "Žádost"}},
        {1251, {"Проект", "Исправление", "Тест", "Отчёт", "Справка"}},
        {1252, {"Résumé", "Überprüfung", "Straße", "Façade", "Niño", "Änderung"}},
        {1253, {"Έλεγχος", "Δοκιμή", "Αλλαγή", "Έγγραφο"}},
        {1254, {"Düzeltme", "Çalışma", "Görünüm", "Şablon"}},
        {1255, {"בדיקה", "תיקון", "מסמך"}},
        {1256, {"اختبار", "تصحيح", "وثيقة"}},
        {1257, {"Pārbaude", "Labojums", "Dokumentų"}},
    };
    return table;
}

struct IconvCloser {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};

}  // namespace

const std::vector<int>& WordCodePages() {
    static const std::vector<int> pages = [] {
        std::vector<int> out;
        for (const auto& [page, words] : WordTable()) {
            out.push_back(page);
        }
        return out;
    }();
    return pages;
}

std::string EncodeInCodePage(std::string_view utf8, int codePage) {
    const std::string target = "CP" + std::to_string(codePage);
    const iconv_t raw = iconv_open(target.c_str(), "UTF-8");
    if (raw == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv does not know code page " + std::to_string(codePage));
    }
    const std::unique_ptr<void, IconvCloser> handle(raw);
    std::string out(utf8.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(raw, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
        iconv(raw, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
        throw std::runtime_error("cannot encode \"" + std::string(utf8) + "\" in code page " +
                                 std::to_string(codePage));
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::vector<std::string> NonAsciiWords(int codePage) {
    const auto found = WordTable().find(codePage);
    if (found == WordTable().end()) {
        throw std::invalid_argument("no words for code page " + std::to_string(codePage));
    }
    std::vector<std::string> words;
    for (const std::string_view word : found->second) {
        words.push_back(EncodeInCodePage(word, codePage));
    }
    return words;
}

}  // namespace vsstest
