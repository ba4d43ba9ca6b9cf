"""Drainage for the realism measurement: depression filling, D8 receivers,
area and upstream length, computed from the heights alone."""
import heapq
import math

import numpy as np

# D8 neighbours: (drow, dcol), first the four axial ones.
OFFSETS = [(0, 1), (-1, 0), (0, -1), (1, 0), (-1, 1), (-1, -1), (1, -1), (1, 1)]


def route(z):
    """Priority-flood depression filling (Barnes et al. 2014) from the edge
    of the land (the grid border and cells next to NaN), then D8: each cell
    drains to its steepest strictly lower neighbour on the filled surface,
    and a cell of a filled flat to the neighbour that flooded it. Returns
    the receiver of each cell (flat index, -1 for outlets and NaN), the
    step length in cells, and the cells in the order they were flooded,
    which lists every receiver before its donors."""
    rows, cols = z.shape
    pad = np.full((rows + 2, cols + 2), np.nan)
    pad[1:-1, 1:-1] = z
    stride = cols + 2
    flat = pad.ravel()
    land = ~np.isnan(flat)
    offs = [dr * stride + dc for dr, dc in OFFSETS]
    # The land's edge: land cells with a non-land neighbour are outlets.
    edge = np.zeros_like(land)
    for o in offs:
        edge |= land & ~np.roll(land, -o)
    filled = flat.copy()
    done = ~land
    parent = np.full(flat.size, -1, dtype=np.int64)
    heap = [(flat[i], i) for i in np.flatnonzero(edge)]
    heapq.heapify(heap)
    done[edge] = True
    order = []
    push, pop = heapq.heappush, heapq.heappop
    filled_l, done_l, parent_l = filled.tolist(), done.tolist(), parent.tolist()
    while heap:
        level, i = pop(heap)
        order.append(i)
        for o in offs:
            j = i + o
            if not done_l[j]:
                done_l[j] = True
                if filled_l[j] < level:
                    filled_l[j] = level
                parent_l[j] = i
                push(heap, (filled_l[j], j))
    filled = np.array(filled_l)
    parent = np.array(parent_l, dtype=np.int64)
    order = np.array(order, dtype=np.int64)
    # Steepest descent on the filled surface.
    best = np.zeros(flat.size)
    receiver = np.full(flat.size, -1, dtype=np.int64)
    step = np.ones(flat.size)
    idx = np.arange(flat.size)
    for (dr, dc), o in zip(OFFSETS, offs):
        d = math.hypot(dr, dc)
        nb = np.roll(filled, -o)
        drop = (filled - nb) / d
        better = land & np.roll(land, -o) & (drop > best)
        best[better] = drop[better]
        receiver[better] = idx[better] + o
        step[better] = d
    on_flat = land & (receiver < 0) & ~edge
    receiver[on_flat] = parent[on_flat]
    dr_ = (receiver[on_flat] // stride) - (idx[on_flat] // stride)
    dc_ = (receiver[on_flat] % stride) - (idx[on_flat] % stride)
    step[on_flat] = np.hypot(dr_, dc_)
    # Back to the unpadded grid.
    inner = np.zeros((rows + 2, cols + 2), dtype=bool)
    inner[1:-1, 1:-1] = True
    inner = inner.ravel()
    to_inner = np.full(flat.size, -1, dtype=np.int64)
    to_inner[inner] = np.arange(rows * cols)
    rec = np.where(receiver >= 0, to_inner[np.maximum(receiver, 0)], -1)[inner]
    order = to_inner[order]
    return rec, step[inner], order, filled[inner].reshape(rows, cols)


def accumulate(rec, step, order):
    """D8 area (cells) and the longest flow path upstream of each cell (cells
    of length), in one pass from the ridges down."""
    area = np.ones(rec.size)
    length = np.zeros(rec.size)
    rec_l, step_l = rec.tolist(), step.tolist()
    area_l, length_l = area.tolist(), length.tolist()
    for i in reversed(order.tolist()):
        r = rec_l[i]
        if r >= 0:
            area_l[r] += area_l[i]
            reach = length_l[i] + step_l[i]
            if reach > length_l[r]:
                length_l[r] = reach
    return np.array(area_l), np.array(length_l)
