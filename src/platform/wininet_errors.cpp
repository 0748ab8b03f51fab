#include <cerrno>

#include "platform/wininet.h"

namespace {

// WinINet's error codes, and the system's that its calls also report.
enum : DWORD {
  InvalidHandle = 6,
  NotEnoughMemory = 8,
  InvalidParameter = 87,
  OutOfHandles = 12001,
  Timeout = 12002,
  InternalError = 12004,
  InvalidUrl = 12005,
  UnrecognizedScheme = 12006,
  NameNotResolved = 12007,
  Shutdown = 12012,
  OperationCancelled = 12017,
  IncorrectHandleType = 12018,
  CannotConnect = 12029,
  ConnectionAborted = 12030,
  ConnectionReset = 12031,
  InvalidServerResponse = 12152,
  RedirectFailed = 12156,
  Disconnected = 12163,
  ServerUnreachable = 12164,
  ProxyServerUnreachable = 12165,
};

}  // namespace

// The Windows build's C runtime names only the classic errno values (up to EILSEQ); the network
// failures take the nearest of those, so that perror gives a reason rather than "Unknown error".
int errno_for_wininet_error(DWORD error) {
  switch (error) {
    case NameNotResolved:
    case CannotConnect:
    case ServerUnreachable:
    case ProxyServerUnreachable:
    case Disconnected:
      return ENXIO;  // No such device or address
    case Timeout:
      return EAGAIN;  // Resource temporarily unavailable
    case ConnectionAborted:
    case ConnectionReset:
      return EPIPE;  // Broken pipe
    case InvalidUrl:
    case UnrecognizedScheme:
    case InvalidParameter:
      return EINVAL;
    case InvalidHandle:
    case IncorrectHandleType:
      return EBADF;
    case NotEnoughMemory:
      return ENOMEM;
    case OutOfHandles:
      return EMFILE;
    case Shutdown:
    case OperationCancelled:
      return EINTR;
    default:  // InternalError, InvalidServerResponse, RedirectFailed, none recorded, ...
      return EIO;
  }
}
