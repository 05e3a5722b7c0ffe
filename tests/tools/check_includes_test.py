#!/usr/bin/env python3
"""The include check refuses steps up and sideways and lets the allowed ones pass."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "check_includes.py")


def run(tree):
    with tempfile.TemporaryDirectory() as root:
        for path, text in tree.items():
            full = os.path.join(root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w", encoding="utf-8") as f:
                f.write(text)
        p = subprocess.run([sys.executable, SCRIPT, root], capture_output=True, text=True)
        return p.returncode, p.stdout


class CheckIncludes(unittest.TestCase):
    def test_allowed_includes_pass(self):
        code, out = run({
            "platform/db/Db.cpp": '#include "platform/text/Gbk.h"\n',
            "module/MISPub.cpp": '#include "platform/db/Db.h"\n#include "host/include/PubProcDll.h"\n',
            "query/PubQuery.cpp": '#include "framework/UBase.h"\n#include "ui_PubQuery.h"\n',
            "browse/UBaseA.cpp": '#include "chart/Graph.h"\n#include "print/PrintFmt.h"\n',
            "tryout/TryOutMng.cpp": '#include "browse/UBaseA.h"\n',
            "host/app/main.cpp": '#include "module/EntryPoints.h"\n#include "host/app/MainWindow.h"\n',
            "tests/query/QTest.cpp": '#include "query/PubQuery.h"\n#include "tests/support/TestSupport.h"\n',
        })
        self.assertEqual(code, 0, out)

    def test_upward_include_is_refused_with_file_and_line(self):
        code, out = run({"framework/UBase.cpp": '// base form\n#include "browse/UBaseA.h"\n'})
        self.assertEqual(code, 1)
        self.assertIn("framework/UBase.cpp:2: includes browse/UBaseA.h", out)

    def test_sideways_and_host_rules(self):
        code, out = run({
            "calc/SetCalcFld.cpp": '#include "query/PubQuery.h"\n',
            "platform/ui/Guard.cpp": '#include "host/include/Appres.h"\n',
            "host/ctl/CmdSql.cpp": '#include "module/MISPub.h"\n',
            "host/app/main.cpp": '#include "host/commDll/GridExport.h"\n',
            "tests/module/T.cpp": '#include "framework/UBase.h"\n',
        })
        self.assertEqual(code, 1)
        for where in ("calc/SetCalcFld.cpp:1", "platform/ui/Guard.cpp:1", "host/ctl/CmdSql.cpp:1",
                      "host/app/main.cpp:1", "tests/module/T.cpp:1"):
            self.assertIn(where, out)


if __name__ == "__main__":
    unittest.main()
