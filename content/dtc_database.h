#pragma once
// The trouble-code database: a text file of entries, each a code followed by its description,
// read into memory once at start-up.
#include <string>
#include <string_view>
#include <vector>

struct DtcEntry {
    std::u16string Code;
    std::u16string Description;
};

// Path of the database relative to the folder it is looked up in.
inline constexpr const char* kDtcDatabaseRelativePath = "DtcLookup/OBDII.txt";

// Longest code or description kept, in bytes of the file; the rest of a longer field is dropped.
inline constexpr std::size_t kDtcFieldMaxBytes = 127;

// The entries held in `bytes`, in file order.  An entry is a run of non-blank bytes (the code),
// any white space including line breaks, then the bytes up to the next CR or LF (the
// description, trailing blanks kept).  Reading stops at the first code without a description.
// Each field is decoded on its own: UTF-8 when it is valid UTF-8, Windows-1252 otherwise, so a
// file written on Windows loses no entry.  A UTF-8 byte-order mark at the start is skipped.
std::vector<DtcEntry> ParseDtcDatabase(std::string_view bytes);

// Where the database was found and what it holds.
struct DtcDatabase {
    std::string Path; // empty when no database could be opened
    std::vector<DtcEntry> Entries;
};

// Reads the database from the working folder (the relative path, as the program has always
// opened it) or, when it cannot be opened there, from beside the executable: a program started
// from a desktop menu runs in the user's home folder.  No database gives an empty result.
DtcDatabase LoadDtcDatabase(const std::string& executableDir);

// The list's two cells of an entry: a blank before the code, an ideographic space before the
// description.
std::u16string DtcCaption(const DtcEntry& entry);
std::u16string DtcSubItem(const DtcEntry& entry);
