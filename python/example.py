"""The README's example: load a data file, locate a million points, slice and check it."""
import sys
import numpy as np
import trazon

g = trazon.load(sys.argv[1] if len(sys.argv) > 1 else "beamdump.pic")
print(g)
print("materials:", g.materials["number"].tolist())
box = np.array(g.box).reshape(3, 2)
points = np.random.default_rng(1).uniform(box[:, 0], box[:, 1], size=(1_000_000, 3))
zone = g.where(points)
print("points in no zone:", np.count_nonzero(zone == trazon.NO_ZONE),
      "in several:", np.count_nonzero(zone == trazon.OVERLAP))
inside = zone >= 0
names, counts = np.unique(g.zones["name"][zone[inside]], return_counts=True)
print("most points:", sorted(zip(counts, names))[-3:])
classes, rgb = g.slice(plane="y", at=0.0, size=(600, 300))
print("slice pixels in no zone:", np.count_nonzero(classes == trazon.NO_ZONE))
check = g.check(rays=20000)
print("\n".join(check.lines[-3:]))
try:
    import matplotlib.pyplot as plt
    plt.imshow(rgb, extent=(box[0, 0], box[0, 1], box[2, 0], box[2, 1]), aspect="auto")
    plt.xlabel("x"); plt.ylabel("z"); plt.savefig("slice.png", dpi=150)
    print("wrote slice.png")
except ImportError:
    print("matplotlib is not installed: no plot")
