"""The results sweep without any proxy: the test build whose base URL names the stand-in's own
loopback address, as a user without a proxy reaches the service."""

import sys
import unittest

import harness
import results_test

# Connections for the 8,700 requests: the reset at code 1314 drops one, and a client may open
# another on its own; one per request would be thousands.
MAX_CONNECTIONS = 4


class DirectResultsSweep(results_test.ResultsSweep):
    DIRECT = True

    def test_one_request_per_code_and_few_connections(self):
        codes = [r["code"] for r in self.requests if "/moved/" not in r["path"]]
        retried = codes.count(1314) - 1
        self.assertIn(retried, (0, 1))
        if retried:
            codes.remove(1314)
        self.assertEqual(codes, list(range(harness.FIRST_CODE, harness.LAST_CODE + 1)))
        connections = len({r["conn"] for r in self.requests})
        print(f"\n{len(self.requests)} requests on {connections} connections", file=sys.stderr)
        self.assertLessEqual(connections, MAX_CONNECTIONS)

    def test_request_form_and_headers(self):
        host, port = harness.direct_address()
        self.assertTrue(all(r["method"] == "GET" for r in self.requests))
        first = self.requests[0]
        self.assertEqual(first["target"], "/biz/independent/1300.html")
        self.assertEqual(first["headers"].get("host"), f"{host}:{port}")
        self.assertEqual(first["headers"].get("user-agent"), "qnv408")


if __name__ == "__main__":
    unittest.main()
