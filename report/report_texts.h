// The words of the stock-taking report, in English and in Japanese. "%1", "%2" stand for
// what the report puts in. A text that counts something may have a form for one and a
// form for more, split by "|" ("%1 file|%1 files"): CountedText picks.
#pragma once

#include <QString>

namespace varnotte {

enum class ReportLanguage { kEnglish, kJapanese };

// Japanese when `locale` (LANG's value) starts with "ja", else English.
ReportLanguage ReportLanguageOfLocale(const QString& locale);

struct ReportTexts {
    const char* htmlLanguage;
    const char* title;
    const char* written;
    // At a glance.
    const char* glance;
    const char* database;
    const char* dataFolder;
    const char* reportedProject;
    const char* format;
    const char* formatValue;
    const char* codePage;
    const char* codePageGuessed;
    const char* codePageForced;
    const char* codePageNotNeeded;
    const char* projects;
    const char* files;
    const char* versions;
    const char* fileVersions;
    const char* fileVersionsCounted;
    const char* projectEntries;
    const char* projectEntriesCounted;
    const char* users;
    const char* usersSplit;
    const char* listedTwice;
    const char* labels;
    const char* labelsSplit;
    const char* deletedItems;
    const char* timeZone;
    const char* timeZoneNamed;
    const char* timeZoneUnnamed;
    const char* firstActivity;
    const char* lastActivity;
    const char* content;
    const char* contentMissing;
    const char* onDisk;
    const char* onDiskValue;
    const char* damage;
    const char* damageNone;
    const char* damageNoneUnchecked;  // no damage in the records, content not checked
    const char* contentNotChecked;
    const char* damageSome;
    const char* damageExported;
    // Activity.
    const char* activity;
    const char* activityNote;
    const char* undated;
    const char* others;
    const char* noActivity;
    const char* monthTip;
    // Projects.
    const char* projectsSection;
    const char* largest;
    const char* mostActive;
    const char* projectsNote;
    const char* noSubtrees;
    const char* project;
    const char* size;
    const char* lastChange;
    const char* trend;
    const char* quiet;
    // People.
    const char* people;
    const char* peopleNote;
    const char* user;
    const char* first;
    const char* last;
    const char* notAUser;
    const char* readOnly;
    // Checkouts, pins, branches, shares.
    const char* checkouts;
    const char* checkoutsSummary;
    const char* noCheckouts;
    const char* file;
    const char* by;
    const char* since;
    const char* workingFolder;
    const char* machine;
    const char* special;
    const char* specialSummary;
    const char* pinned;
    const char* pinnedAt;
    const char* branched;
    const char* branchedFrom;
    const char* branchedFromGone;
    const char* shared;
    const char* sharedAlso;
    const char* more;
    // Labels.
    const char* labelsSection;
    const char* labelsNote;
    const char* noLabels;
    const char* label;
    const char* date;
    const char* labelsLeftOut;
    // Content (--check-content).
    const char* contentSection;
    const char* contentSummary;
    const char* contentRestored;
    const char* contentNotWhole;
    const char* contentAllWhole;
    const char* largestFiles;
    const char* largestHistories;
    const char* claimedAndFound;
    const char* claimed;
    const char* claimedBinary;
    const char* claimedText;
    const char* latestOnly;
    const char* noLatestOnly;
    // Errors.
    const char* unreadable;
    const char* item;
    const char* reason;
    const char* allRead;
};

const ReportTexts& TextsFor(ReportLanguage language);

// Of `text`'s forms, the one for `count` (the first for one, the last otherwise); a text
// with one form is that form.
QString CountedText(const char* text, long long count);

}  // namespace varnotte
