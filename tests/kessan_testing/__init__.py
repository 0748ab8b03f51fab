"""What the Python tests, the demo and the benchmark share: the results page writer, the
end-to-end pages, the stand-in and sweep harness, the sample data set and what a sweep of it
prints. The tests' CMake entries and the scripts put tests/ on the path.
"""

# The securities codes the sweep walks, in order.
FIRST_CODE, LAST_CODE = 1300, 9999
CODES = range(FIRST_CODE, LAST_CODE + 1)
