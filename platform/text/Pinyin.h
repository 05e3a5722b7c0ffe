// Pinyin initials: finding a Chinese caption by the first letters of its characters' readings.
// Texts are GBK byte strings here; lengths and positions count bytes, as the lookup does.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// Initial of the character at ch, which has size bytes (1 or 2): "A", "1", "(" ... or empty.
QByteArray PinyinInitial(const char* ch, int size);

// Initials of every character of text, concatenated; characters without one add nothing.
QByteArray PinyinInitials(const QByteArray& gbk);
QString PinyinInitials(const QString& text);

// Whether entry matches typed: a case-sensitive prefix, or one initial (or "?") per typed byte
// against the entry read in two-byte steps.
bool MatchesInitials(const QByteArray& entry, const QByteArray& typed);

// The entries of fullList that match typed, in list order.
QStringList InitialsMatches(const QStringList& fullList, const QString& typed);
// The same, joined by carriage returns.
QString FilterByInitials(const QStringList& fullList, const QString& typed);

// The generated reading table (PyCodeTable.cpp).
namespace PyCodeTable {
constexpr int Leads = 126;   // lead bytes 129..254
constexpr int Trails = 191;  // trail bytes 64..254
extern const int SyllableCount;
extern const char Syllables[][7];                 // toneless, sorted; numbers start at 1
extern const std::uint16_t Readings[126 * 191];   // (lead - 129) * 191 + (trail - 64); 0 none
}
