#pragma once

#include <cstdint>

#include "items/items.h"
#include "platform/wininet.h"

constexpr int32_t FetchRequestFailed = -3;
constexpr int32_t FetchCopyFailed = -4;

// Requests code's page, saves it as "<code>.html" without CR and LF, and scans it into table
// and name. Returns the period count (>= 0), -1 for a layout the scanner cannot follow,
// -3 if the request cannot be opened (reported on stderr), -4 if the copy cannot be created.
int32_t fetch_company(int code, HINTERNET session, PeriodTable* table, CompanyName* name);
