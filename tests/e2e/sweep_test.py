"""The whole sweep through the stand-in service: requests, local copies, output."""

import unittest

from kessan_testing import CODES, harness


@unittest.skipIf(
    harness.windows_text_mode(),
    "the results sweep covers requests and copies of the Windows build; "
    "a second sweep would add a minute under Wine",
)
class EmptySweep(harness.SweepTestCase):
    """No page has figures: every code is requested once and copied, nothing is printed."""

    def test_exits_zero_and_prints_nothing(self):
        self.assertEqual(self.sweep.returncode, 0)
        self.assertEqual(self.sweep.stdout, b"")
        self.assertEqual(self.sweep.stderr, b"")

    def test_one_get_per_code_in_order(self):
        codes = [r["code"] for r in self.requests]
        self.assertEqual(codes, list(CODES))
        self.assertTrue(all(r["method"] == "GET" for r in self.requests))

    def test_one_connection_for_the_whole_sweep(self):
        self.assertEqual({r["conn"] for r in self.requests}, {1})

    def test_one_local_copy_per_code(self):
        expected = sorted(f"{c}.html" for c in CODES)
        self.assertEqual(self.sweep.copies(), expected)
        not_found = harness.without_line_ends(self.service.get(harness.base_url() + "1300.html"))
        self.assertGreater(len(not_found), 0)
        for code in (1300, 5000, 9999):
            self.assertEqual(self.sweep.copy(code), not_found)


if __name__ == "__main__":
    unittest.main()
