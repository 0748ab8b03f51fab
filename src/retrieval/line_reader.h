#pragma once

#include <cstdint>

#include "platform/wininet.h"

constexpr DWORD ReadChunk = 1023;
constexpr int ReaderCapacity = 1024;
constexpr int LineCapacity = 256;

// The line reader's state for one request. A new reader has read_pos and read_len 0.
struct ResponseReader {
  HINTERNET session;
  HINTERNET request;
  char buffer[ReaderCapacity];
  DWORD read_pos;
  DWORD read_len;
};

// One line: at most 255 bytes of text and a terminator; length counts NUL bytes inside it.
struct Line {
  char text[LineCapacity];
  uint32_t length;
};

// A reader at the start of the request's body.
ResponseReader start_reader(HINTERNET session, HINTERNET request);

// The next line (CR and LF each end one; a longer line comes in 255-byte pieces; a last line
// without a line end counts too) as line->text, or null at the end of the data.
const char* next_line(ResponseReader* reader, Line* line);
