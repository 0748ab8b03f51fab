#include <gtest/gtest.h>

#include <cerrno>

#include "platform/wininet.h"

namespace {

TEST(WininetErrors, MapToAnErrnoThatPerrorCanName) {
  struct Case {
    DWORD error;
    int expected;
  };
  const Case cases[] = {
      {12007, ENXIO},   // name not resolved
      {12029, ENXIO},   // cannot connect
      {12165, ENXIO},   // proxy server unreachable
      {12002, EAGAIN},  // timeout
      {12030, EPIPE},   // connection aborted
      {12031, EPIPE},   // connection reset
      {12005, EINVAL},  // invalid URL
      {12152, EIO},     // invalid server response
      {8, ENOMEM},     {6, EBADF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    EXPECT_EQ(errno_for_wininet_error(c.error), c.expected);
  }
  // No failure reads as success, and each reason is one the Windows C runtime has a text for.
  for (DWORD error = 0; error <= 12200; ++error) {
    int mapped = errno_for_wininet_error(error);
    ASSERT_TRUE(mapped > 0 && mapped <= EILSEQ) << error << " gives " << mapped;
  }
}

}  // namespace
