"""The Python module against known geometries and against trazon-cli on the same files."""
import os
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import trazon

# Sphere Z1 (material 1, r 5) in a void shell Z2 (r 6 to 20): a gap from r 5 to r 6.
GAP = """CSTA-FREE
SPH 1 0 0 0 5
SPH 2 0 0 0 6
SPH 3 0 0 0 20
END
Z1 1
Z2 3 -2
END
CEND
MSTA
2
1 0
MEND
0 1
4 0.0 0.0 0.0 1.5 1 1.0
4 1.0 2.0 3.0 1.25 1 0.5
-1
9 1
0 2
5 0.0 0.0 1.0 0.5 1 2.0
-1
9 3
"""

# Z1 (r 5) and Z2 (r 6) overlap inside r 5; void Z3 around them up to r 20.
OVERLAP = """CSTA-FREE
SPH 1 0 0 0 5
SPH 2 0 0 0 6
SPH 3 0 0 0 20
END
Z1 1
Z2 2
Z3 3 -2
END
CEND
MSTA
3
1 2 0
MEND
"""

# A cube of side 20 (material 1) in a void box of side 100.
CUBE = """CSTA-FREE
RPP 1 -10 10 -10 10 -10 10
RPP 2 -50 50 -50 50 -50 50
END
Z1 1
Z2 2 -1
END
CEND
MSTA
2
1 0
MEND
"""


@pytest.fixture
def files(tmp_path):
    paths = {}
    for name, text in (("gap", GAP), ("overlap", OVERLAP), ("cube", CUBE)):
        p = tmp_path / (name + ".dat")
        p.write_text(text)
        paths[name] = str(p)
    return paths


def cli(*args):
    """Runs trazon-cli (the build's, named by TRAZON_CLI) and returns its standard output."""
    exe = os.environ.get("TRAZON_CLI")
    if not exe:
        pytest.skip("TRAZON_CLI not set")
    return subprocess.run([exe, *map(str, args)], check=True, capture_output=True,
                          text=True).stdout


def test_model_arrays(files):
    g = trazon.load(files["gap"])
    assert list(g.bodies["symbol"]) == ["SPH"] * 3
    assert list(g.bodies["number"]) == [1, 2, 3]
    assert list(g.bodies["nparams"]) == [4, 4, 4]
    np.testing.assert_array_equal(g.bodies["params"][1, :5], [0, 0, 0, 6, 0])
    assert list(g.zones["name"]) == ["Z1", "Z2"]
    assert list(g.zones["number"]) == [1, 2]
    assert list(g.zones["material"]) == [1, 0]
    assert list(g.materials["number"]) == [1]
    assert list(g.materials["zones"]) == [1]
    t = g.tracks
    assert list(t.dtype.names) == ["history", "kind", "x", "y", "z", "energy", "zone", "weight",
                                   "time", "latch", "track_end"]
    assert list(t["history"]) == [1, 1, 2]
    assert list(t["kind"]) == [4, 4, 5]
    np.testing.assert_array_equal(t["y"], [0, 2, 0])
    np.testing.assert_array_equal(t["energy"], [1.5, 1.25, 0.5])
    np.testing.assert_array_equal(t["weight"], [1, 0.5, 2])
    assert list(t["latch"]) == [1, 1, 3]
    assert list(t["track_end"]) == [0, -1, -1]


def test_box_spans_the_bounded_bodies(files):
    assert trazon.load(files["gap"]).box == pytest.approx((-20, 20, -20, 20, -20, 20), rel=1e-3)


def test_read_max_stops_at_the_history(files):
    assert list(trazon.load(files["gap"], read_max=1).tracks["history"]) == [1, 1]


def test_read_error_carries_message_and_line(tmp_path):
    bad = tmp_path / "bad.dat"
    bad.write_text("CSTA-FREE\nSPH 1 0 0 0 5\nSPH x 0 0 0 6\nEND\n")
    with pytest.raises(trazon.ReadError) as e:
        trazon.load(str(bad))
    assert e.value.message == "Read Body Number Error"
    assert e.value.line == 3
    assert e.value.token == "X"
    assert str(e.value).startswith("error : Read Body Number Error")
    with pytest.raises(trazon.ReadError) as e:
        trazon.load(str(tmp_path / "missing.dat"))
    assert e.value.line is None and "missing.dat" in e.value.message


def test_where_classifies_points(files):
    g = trazon.load(files["gap"])
    pts = [[0, 0, 0], [5.5, 0, 0], [0, 10, 0], [0, 0, 25], [4.99, 0, 0]]
    np.testing.assert_array_equal(g.where(pts), [0, trazon.NO_ZONE, 1, trazon.NO_ZONE, 0])
    o = trazon.load(files["overlap"])
    np.testing.assert_array_equal(o.where([[0, 0, 0], [5.5, 0, 0], [10, 0, 0]]),
                                  [trazon.OVERLAP, 1, 2])
    # one point alone, integer input, and an empty list
    assert o.where([10, 0, 0]).tolist() == [2]
    assert o.where(np.array([[10, 0, 0]], dtype=np.int64)).tolist() == [2]
    assert o.where(np.zeros((0, 3))).shape == (0,)
    for bad in ([1, 2], np.zeros((4, 2)), [["a", "b", "c"]]):
        with pytest.raises((ValueError, TypeError)):
            o.where(bad)


def test_where_agrees_with_the_slice_and_across_threads(files):
    g = trazon.load(files["gap"])
    classes, rgb = g.slice(plane="y", at=0.5, window=(-8, 8, -4, 4), size=(64, 32))
    assert classes.shape == (32, 64) and rgb.shape == (32, 64, 3) and rgb.dtype == np.uint8
    # pixel centres: column i at u = -8 + (i + 0.5) / 4, row j (top first) at v = 4 - (j + 0.5) / 4
    u = -8 + (np.arange(64) + 0.5) * 16 / 64
    v = 4 - (np.arange(32) + 0.5) * 8 / 32
    uu, vv = np.meshgrid(u, v)
    pts = np.stack([uu, np.full_like(uu, 0.5), vv], axis=-1).reshape(-1, 3)
    np.testing.assert_array_equal(g.where(pts).reshape(32, 64), classes)
    assert set(np.unique(classes)) == {0, 1, trazon.NO_ZONE}
    # undefined pixels are drawn as the black and white checkerboard
    gap = rgb[classes == trazon.NO_ZONE]
    assert all(tuple(c) in {(0, 0, 0), (255, 255, 255)} for c in gap)
    many = np.random.default_rng(7).uniform(-25, 25, size=(20000, 3))
    np.testing.assert_array_equal(g.where(many, threads=1), g.where(many, threads=0))


def test_slice_refuses_bad_arguments(files):
    g = trazon.load(files["gap"])
    with pytest.raises(ValueError):
        g.slice(plane="w")
    with pytest.raises(ValueError):
        g.slice(window=(1, 0, 0, 1))
    with pytest.raises(ValueError):
        g.slice(size=(0, 10))
    # the default window is the scene's box made square
    classes, _ = g.slice(size=(40, 20))
    assert classes.shape == (20, 40)


def test_where_lets_other_threads_run(files):
    g = trazon.load(files["gap"])
    pts = np.random.default_rng(3).uniform(-25, 25, size=(3_000_000, 3))
    ticks = 0
    stop = False

    def count():
        nonlocal ticks
        while not stop:
            ticks += 1
            time.sleep(0)

    t = threading.Thread(target=count)
    t.start()
    time.sleep(0.05)
    before = ticks
    g.where(pts)
    during = ticks - before
    stop = True
    t.join()
    assert during > 10


def test_check_matches_the_command_line(files):
    g = trazon.load(files["gap"])
    r = g.check(rays=500)
    assert r.lines == cli("check", files["gap"], "--rays", 500).splitlines()
    assert r.error_count == 10 and not r.completed
    assert [e["kind"] for e in r.errors][:1] == ["no zone"]
    for e in r.errors:
        assert 5 <= np.linalg.norm(e["point"]) <= 6
        assert e["bodies"] == [2, 3]
    clean = trazon.load(files["cube"]).check(rays=300, threads=1)
    assert clean.completed and clean.error_count == 0 and clean.rays_done == 300
    assert clean.lines == ["100%", "error count = 0", "Check End"]
    # another seed fires other rays
    assert g.check(rays=500, seed=12345).lines != r.lines
    with pytest.raises(ValueError):
        g.check(start=(0, 0, 0))
    with pytest.raises(ValueError):
        g.check(theta=(0, 1e31))


def test_overlap_names_the_zones(files):
    r = trazon.load(files["overlap"]).check(rays=20, start=(-1, 1, -1, 1, -1, 1))
    kinds = {e["kind"] for e in r.errors}
    assert "overlap" in kinds
    assert all(e["zones"] == ["Z1", "Z2"] for e in r.errors if e["kind"] == "overlap")


def test_volume_matches_the_command_line(files):
    g = trazon.load(files["cube"])
    # the box is the cube: every ray runs through it from face to face
    r = g.volume(level=4, box=(-10, 10, -10, 10, -10, 10))
    out = cli("volume", files["cube"], "--level", 4, "--box", -10, 10, -10, 10, -10, 10)
    assert r.lines + r.result_lines == out.splitlines()
    assert r.converged and r.level == 1
    cube = r.volumes[r.volumes["name"] == "Z1"][0]
    assert cube["selected"]
    assert cube["average"] == pytest.approx(8000)
    for axis in "xyz":
        assert cube[axis] == pytest.approx(8000)
    # the void zone counts over the box's cross-section, to its far side
    assert not r.volumes[1]["selected"]
    assert r.volumes[1]["average"] == pytest.approx(400 * 40)
    every = g.volume(level=3, box=(-20, 20, -20, 20, -20, 20), zones="all", threads=1)
    named = g.volume(level=3, box=(-20, 20, -20, 20, -20, 20), zones=["Z1", "Z2"])
    assert every.result_lines == named.result_lines
    with pytest.raises(ValueError, match="no zone named"):
        g.volume(level=2, zones=["Z9"])
    with pytest.raises(ValueError):
        g.volume(level=15)


def test_readme_example_runs(files, tmp_path):
    example = os.path.join(os.path.dirname(__file__), "..", "example.py")
    readme = open(os.path.join(os.path.dirname(__file__), "..", "..", "README.md")).read()
    code = open(example).read()
    assert code.split("\n", 1)[1] in readme  # the README shows this file
    out = subprocess.run([sys.executable, example, files["gap"]], cwd=tmp_path, check=True,
                         capture_output=True, text=True).stdout
    assert "materials: [1]" in out and "points in no zone:" in out and "Check End" not in out


def test_docstrings():
    assert "where" in trazon.__doc__
    for f in (trazon.load, trazon.Geometry.where, trazon.Geometry.slice, trazon.Geometry.check,
              trazon.Geometry.volume):
        assert len(f.__doc__) > 80
    assert trazon.__version__.count(".") == 2
