#!/usr/bin/env python3
"""Runs the Python client's tests (ctest's python_client_test). The codec
tests always run; the server tests need python3-grpcio and are skipped
without it, which this runner reports with exit code 77, ctest's skip."""

import os
import sys
import unittest

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
suite = unittest.defaultTestLoader.discover(here, pattern="test_*.py", top_level_dir=here)
result = unittest.TextTestRunner(verbosity=2).run(suite)
if not result.wasSuccessful():
    sys.exit(1)
try:
    import grpc  # noqa: F401
except ImportError:
    print("python_client_test: the tests against a server were skipped: python3-grpcio is missing "
          "(scripts/test installs python3-grpcio and python3-protobuf)")
    sys.exit(77)
