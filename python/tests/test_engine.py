"""The Python client as a host uses it: pricing the demo project, repricing a
row, cancelling the pipeline and passing bad arguments. Run by CTest with
QUILLMERE_LIBRARY and QUILLMERE_CLI naming the build's library and program."""

import json
import os
import shutil
import sqlite3
import subprocess
import tempfile
import unittest

import quillmere

CLI = os.environ["QUILLMERE_CLI"]


def without_timings(report):
    report = dict(report, seconds=None)
    report["stages"] = [stage["name"] for stage in report["stages"]]
    return report


class EngineTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="quillmere_python_")
        cls.demo = os.path.join(cls.dir, "demo.db")
        subprocess.run([CLI, "demo", cls.demo], check=True, stdout=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def fresh_demo(self, name):
        path = os.path.join(self.dir, name)
        shutil.copyfile(self.demo, path)
        return path

    def test_prices_the_demo_as_quillmere_calc_does(self):
        by_cli = self.fresh_demo("cli.db")
        printed = subprocess.run([CLI, "calc", by_cli, "--json", "--bill-pricing", "--fee-programme"], check=True,
                                 capture_output=True, text=True).stdout
        stages = []
        with quillmere.Engine(self.fresh_demo("python.db")) as engine:
            engine.busy_timeout(2000)
            engine.quick_check()
            report = engine.run_pipeline(bill_pricing=True, fee_programme=True,
                                         progress=lambda *stage: stages.append(stage))
        self.assertEqual(without_timings(report), without_timings(json.loads(printed)))
        self.assertGreater(report["project_cost"], 500000)
        # One report before each stage: its name, index and the count, with
        # the time since the start.
        self.assertEqual([(s[0], s[1], s[2]) for s in stages],
                         [(name, i + 1, 16) for i, name in enumerate(without_timings(report)["stages"])])
        self.assertEqual([s[3] for s in stages], sorted(s[3] for s in stages))

    def test_reprices_one_row_after_its_quantity_changes(self):
        path = self.fresh_demo("reprice.db")
        with quillmere.Engine(path) as engine:
            engine.run_pipeline()
            with sqlite3.connect(path) as db:
                (before,) = db.execute("select zhbj from qfsjb where ysid=1211").fetchone()
                db.execute("update zhys set yssl=yssl*2 where ysid=1211")
            self.assertEqual(engine.call("JiSuanZHDJ", 1211, False), (True, {}, []))
        with sqlite3.connect(path) as db:
            price, quantity, total = db.execute("select zhdj, sjgcl, zhbj from qfsjb where ysid=1211").fetchone()
        # The row alone is priced on its own quantity, now 2 x 80.
        self.assertEqual(quantity, 160)
        self.assertEqual(total, round(price * quantity, 2))
        self.assertEqual(total, 2 * before)

    def test_cancelling_keeps_the_stages_before(self):
        path = self.fresh_demo("cancel.db")
        with quillmere.Engine(path) as engine:
            with self.assertRaises(quillmere.Cancelled) as cancelled:
                engine.run_pipeline(progress=lambda stage, *_: stage == "HuiZongRCJ")
            self.assertEqual(without_timings(cancelled.exception.report)["stages"],
                             ["indexes", "ZhengLiGCShuJu", "JiSuanDEJJ_QB", "ChongXinJSXXJ_QB"])
            with sqlite3.connect(path) as db:
                self.assertGreater(db.execute("select count(*) from qfsjb").fetchone()[0], 0)
                self.assertEqual(db.execute("select count(*) from fxrgb1").fetchone()[0], 0)

            # An exception in the callback cancels too, and reaches the caller.
            def fail(stage, *_):
                raise KeyError(stage)
            with self.assertRaises(KeyError):
                engine.run_pipeline(progress=fail)
            self.assertGreater(engine.run_pipeline()["project_cost"], 500000)

    def test_bad_arguments_and_failures_raise_with_the_engine_text(self):
        shown = []
        with quillmere.Engine(self.fresh_demo("bad.db"), on_message=lambda *box: shown.append(box)) as engine:
            for call, message in [
                (("NoSuchMember",), "no member named NoSuchMember"),
                (("JiSuanXXJ", 1), "BolJSAZ takes true|false, not 1"),
                (("JiSuanHZB", float("nan"), 0, 0), None),
            ]:
                with self.assertRaises(quillmere.QuillmereError) as error:
                    engine.call(*call)
                self.assertEqual(error.exception.code, quillmere.MISUSE)
                if message:
                    self.assertEqual(error.exception.message, message)
            with self.assertRaises(quillmere.QuillmereError) as error:
                engine.run_pipeline(colour=True)
            self.assertEqual(error.exception.code, quillmere.MISUSE)

            # A failed bill item price shows its box to the handler; the box is
            # the error's message and in the report.
            with self.assertRaises(quillmere.QuillmereError) as error:
                engine.call("JiSuanQDDJ", 121, "1211;drop table zhys", False, 3.0, True)
            self.assertEqual(error.exception.code, quillmere.FAILED)
            self.assertEqual([box[0] for box in shown], [error.exception.message])
            self.assertEqual(error.exception.report["messages"][0]["prompt"], error.exception.message)
        with self.assertRaises(quillmere.QuillmereError) as error:
            engine.call("HuiZongRCJ")
        self.assertEqual(error.exception.code, quillmere.MISUSE)
        for path in [os.path.join(self.dir, "missing.db"), self.dir]:
            with self.assertRaises(quillmere.QuillmereError) as error:
                quillmere.Engine(path)
            self.assertEqual(error.exception.code, quillmere.ERROR)


if __name__ == "__main__":
    unittest.main()
