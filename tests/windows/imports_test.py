"""The Windows executable needs no DLL beyond those that Windows itself ships."""

import os
import subprocess
import unittest

# System DLLs of every Windows installation: the kernel, the C runtime and WinINet.
# fmt: off
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "wininet.dll", "user32.dll", "advapi32.dll",
               "ws2_32.dll", "shell32.dll", "ole32.dll"}
# fmt: on


def imports(executable, objdump):
    """The functions imported from each DLL, by the DLL's name in lower case."""
    listing = subprocess.run(
        [objdump, "-p", executable], capture_output=True, text=True, check=True, timeout=60
    ).stdout
    table = {}
    functions = None
    for line in listing.splitlines():
        if "DLL Name:" in line:
            functions = table.setdefault(line.split("DLL Name:")[1].strip().lower(), set())
        elif functions is not None and line.startswith("\t") and len(line.split()) == 3:
            functions.add(line.split()[2])  # vma, hint, name
        elif not line.strip():
            functions = None
    return table


class Imports(unittest.TestCase):
    def setUp(self):
        self.imports = imports(os.environ["KESSAN_EXE"], os.environ["KESSAN_OBJDUMP"])

    def test_only_system_dlls(self):
        dlls = sorted(self.imports)
        self.assertIn("wininet.dll", dlls)
        foreign = [d for d in dlls if d not in SYSTEM_DLLS and not d.startswith("api-ms-win-crt-")]
        self.assertEqual(foreign, [], f"imports: {dlls}")

    def test_kessan_tidy_needs_only_system_dlls(self):
        dlls = sorted(imports(os.environ["KESSAN_TIDY_EXE"], os.environ["KESSAN_OBJDUMP"]))
        foreign = [d for d in dlls if d not in SYSTEM_DLLS and not d.startswith("api-ms-win-crt-")]
        self.assertEqual(foreign, [], f"imports: {dlls}")

    def test_numbers_are_parsed_by_mingw_not_by_the_system_runtime(self):
        # The system runtime's decimal conversion is not correctly rounded for every input.
        # fwrite, which writes the sweep's text, shows that the runtime's imports were read.
        self.assertIn("fwrite", self.imports["msvcrt.dll"])
        self.assertEqual(self.imports["msvcrt.dll"] & {"atof", "strtod"}, set())


if __name__ == "__main__":
    unittest.main()
