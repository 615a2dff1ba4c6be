#pragma once
// The upload pass: posts every queued package (and raw entry placed by other
// programs of the product) and removes the entries that are done with.
#include <string>

// Verdict of one queue entry.
constexpr int kKeepEntry = 0;
constexpr int kRemoveEntry = 1;

void UploadPass();
int ProcessEntry(const std::wstring& name, const std::wstring& address);
// 1 when the package was delivered (2xx), refused for good (4xx), or cannot
// ever be sent (missing, empty or oversized file); 0 to try again later.
int UploadPackage(const std::wstring& path, const std::wstring& address);
int UploadRaw(const std::wstring& path, const std::wstring& address, long maxAgeDays);

struct RawEntry {
    std::wstring path;
    std::wstring flag;
    long maxAgeDays = 0;
};
// Splits "<path><br=...><rt=FLAG,...inv=DAYS>"; false when the markers are
// missing or out of order.
bool ParseRawEntry(const std::wstring& name, RawEntry& entry);
// Whole days between two calendar dates (Gregorian).
long DaysBetween(int year1, int month1, int day1, int year2, int month2, int day2);
