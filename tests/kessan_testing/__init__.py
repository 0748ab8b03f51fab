"""What the Python tests, the demo and the benchmark share: the results page writer, the
end-to-end pages, the stand-in and sweep harness, the sample data set and what a sweep of it
prints. The tests' CMake entries and the scripts put tests/ on the path.
"""

import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
VERSION = re.search(r"project\(kessan VERSION (\S+)", (ROOT / "CMakeLists.txt").read_text())[1]

# The securities codes the sweep walks, in order.
FIRST_CODE, LAST_CODE = 1300, 9999
CODES = range(FIRST_CODE, LAST_CODE + 1)
