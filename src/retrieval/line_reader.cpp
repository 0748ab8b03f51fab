#include "retrieval/line_reader.h"

namespace {

// Reads the next piece of the body into the buffer; false at the end of the data.
bool refill(ResponseReader* reader) {
  reader->read_len = 0;
  InternetReadFile(reader->request, reader->buffer, ReadChunk, &reader->read_len);
  reader->read_pos = 0;
  if (reader->read_len > ReadChunk) reader->read_len = 0;
  return reader->read_len > 0;
}

}  // namespace

ResponseReader start_reader(HINTERNET session, HINTERNET request) {
  ResponseReader reader;
  reader.session = session;
  reader.request = request;
  reader.read_pos = 0;
  reader.read_len = 0;
  return reader;
}

const char* next_line(ResponseReader* reader, Line* line) {
  uint32_t length = 0;
  while (length < LineCapacity - 1) {
    if (reader->read_pos == reader->read_len && !refill(reader)) {
      if (length == 0) return nullptr;
      break;
    }
    char byte = reader->buffer[reader->read_pos];
    if (byte == '\n' || byte == '\r') {
      ++reader->read_pos;
      break;
    }
    line->text[length++] = byte;
    ++reader->read_pos;
  }
  line->text[length] = '\0';
  line->length = length;
  return line->text;
}
