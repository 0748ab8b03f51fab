"""The Windows executable needs no DLL beyond those that Windows itself ships."""

import os
import subprocess
import unittest

# System DLLs of every Windows installation: the kernel, the C runtime and WinINet.
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "wininet.dll", "user32.dll", "advapi32.dll",
               "ws2_32.dll", "shell32.dll", "ole32.dll"}


def imported_dlls(executable, objdump):
    listing = subprocess.run([objdump, "-p", executable], capture_output=True, text=True,
                             check=True, timeout=60).stdout
    return sorted(line.split("DLL Name:")[1].strip() for line in listing.splitlines()
                  if "DLL Name:" in line)


class Imports(unittest.TestCase):

    def test_only_system_dlls(self):
        dlls = imported_dlls(os.environ["KESSAN_EXE"], os.environ["KESSAN_OBJDUMP"])
        self.assertIn("WININET.dll".lower(), [d.lower() for d in dlls])
        foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS and
                   not d.lower().startswith("api-ms-win-crt-")]
        self.assertEqual(foreign, [], f"imports: {dlls}")


if __name__ == "__main__":
    unittest.main()
