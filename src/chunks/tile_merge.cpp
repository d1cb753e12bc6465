// tile_merge.cpp -- joining box faces that lie side by side into rectangles, and the two
// halves of a crossed plane into one, for the chunk cache
#include "tile.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "gpu.h"

namespace {

// A face's corners in its plane: bit 2i is set when corner i lies on the
// high side along the plane's first axis, bit 2i + 1 along its second.
// A rectangle has each of the four combinations once.
bool merge_roles(const TileFace &f, int a, int b, unsigned *roles, int at[4])
{
    *roles = 0;
    for (int i = 0; i < 4; i++)
        at[i] = -1;
    for (int i = 0; i < 4; i++) {
        const float pa = f.corner[i][a], pb = f.corner[i][b];
        if (pa == 0.0f || pb == 0.0f)
            return false;
        int role = (pa > 0.0f ? 1 : 0) | (pb > 0.0f ? 2 : 0);
        if (at[role] >= 0)
            return false;
        at[role] = i;
        *roles |= (unsigned)role << (2 * i);
    }
    return true;
}

bool merge_whole(float v, int *out)
{
    if (!(v == rintf(v) && fabsf(v) <= 64.0f))  // NaN fails too
        return false;
    *out = (int)v;
    return true;
}

// What faces must share to join: their state, their plane, the way their
// corners are laid out, and a picture that steps by whole repeats from
// cell to cell with the same offset, so that one rectangle with repeating
// coordinates shows each cell as its own face did.
using MergeKey = std::tuple<const Image *, unsigned, unsigned, int, int, unsigned, int, int, int, int, float, float>;

struct Held {
    int a, b;  // the cell along the plane's two axes
    TileFace face;
};

struct Group {
    int axis;           // along the normal
    int at[4];          // the corner of each role
    float u00[2];       // s, t at the low corner
    int stepA[2], stepB[2];  // s, t from one cell to the next along each axis
    std::vector<Held> faces;
};

// A crossed cell's half plane: two corners on the cell's upright centre
// line, two on an outer upright edge, a picture laid on it without a
// twist (s, t step alike along both uprights) and within 0..1.
struct Half {
    int top[2], bottom[2];  // the outer corner, the centre one, at the top and at the bottom
    int side, plane;        // the outer edge's x sign, and the plane's (x times z)
};

bool merge_half(const TileFace &f, Half *h)
{
    if (f.mode != GPU_QUADS || f.count != 4 || f.hasNormal)
        return false;
    int outer[2] = {-1, -1}, centre[2] = {-1, -1}, no = 0, nc = 0;
    for (int i = 0; i < 4; i++) {
        const float *c = f.corner[i];
        if (!(c[3] >= 0.0f && c[3] <= 1.0f && c[4] >= 0.0f && c[4] <= 1.0f))
            return false;
        if (c[0] == 0.0f && c[2] == 0.0f) {
            if (nc == 2)
                return false;
            centre[nc++] = i;
        } else if (c[0] != 0.0f && c[2] != 0.0f) {
            if (no == 2)
                return false;
            outer[no++] = i;
        } else {
            return false;
        }
    }
    // Four corners, at most two of each kind: two of each.
    const float *o0 = f.corner[outer[0]], *o1 = f.corner[outer[1]];
    const float *c0 = f.corner[centre[0]], *c1 = f.corner[centre[1]];
    if (o0[0] != o1[0] || o0[2] != o1[2] || o0[1] == o1[1] || c0[1] == c1[1])
        return false;
    const int ot = o0[1] > o1[1] ? 0 : 1, ct = c0[1] > c1[1] ? 0 : 1;
    h->top[0] = outer[ot], h->bottom[0] = outer[1 - ot];
    h->top[1] = centre[ct], h->bottom[1] = centre[1 - ct];
    const float *ut = f.corner[h->top[0]], *ub = f.corner[h->bottom[0]];
    const float *vt = f.corner[h->top[1]], *vb = f.corner[h->bottom[1]];
    if (ut[1] != vt[1] || ub[1] != vb[1])
        return false;
    for (int k = 3; k < 5; k++)
        if (ut[k] - ub[k] != vt[k] - vb[k])
            return false;
    h->side = o0[0] > 0.0f ? 1 : -1;
    h->plane = (o0[0] > 0.0f) == (o0[2] > 0.0f) ? 1 : -1;
    return true;
}

bool merge_sameState(const TileFace &a, const TileFace &b)
{
    const TileState &s = a.state, &t = b.state;
    return s.image == t.image && s.smooth == t.smooth && s.r == t.r && s.g == t.g && s.b == t.b &&
           s.a == t.a && s.cull == t.cull && a.repeat == b.repeat &&
           memcmp(a.origin, b.origin, sizeof a.origin) == 0;
}

// The two halves of one plane as one face: b's outer corners take the
// place of a's centre ones.  Where the picture changes along the plane it
// must meet the centre line on a whole coordinate, so that mirroring past
// it shows b's half as b showed it.
bool merge_halves(const TileFace &a, const Half &ha, const TileFace &b, const Half &hb, TileFace *out)
{
    if (ha.plane != hb.plane || ha.side == hb.side || !merge_sameState(a, b))
        return false;
    *out = a;
    for (int end = 0; end < 2; end++) {
        const float *centre = a.corner[end ? ha.bottom[1] : ha.top[1]];
        const float *theirs = b.corner[end ? hb.bottom[1] : hb.top[1]];
        const float *mine = a.corner[end ? ha.bottom[0] : ha.top[0]];
        const float *far = b.corner[end ? hb.bottom[0] : hb.top[0]];
        if (memcmp(centre, theirs, 5 * sizeof(float)) != 0)
            return false;
        float *c = out->corner[end ? ha.bottom[1] : ha.top[1]];
        for (int k = 0; k < 3; k++)
            c[k] = far[k];
        for (int k = 3; k < 5; k++) {
            if ((mine[k] != centre[k] || far[k] != centre[k]) && centre[k] != 0.0f && centre[k] != 1.0f)
                return false;
            c[k] = 2.0f * centre[k] - far[k];
        }
    }
    out->repeat = TEXTURE_MIRROR;
    return true;
}

}  // namespace

struct TileMerger::Groups {
    std::map<MergeKey, Group> byKey;
    std::vector<TileFace> halves;  // of the cell being walked, waiting for their other half
};

TileMerger::TileMerger(TileSink *out, const float unit[3]) : out_(out), groups_(new Groups)
{
    for (int k = 0; k < 3; k++) {
        unit_[k] = unit[k];
        usable_ &= unit[k] > 0.0f && isfinite(unit[k]);
    }
}

TileMerger::~TileMerger()
{
    delete groups_;
}

void TileMerger::cull(bool doubleSided)
{
    out_->cull(doubleSided);
}

void TileMerger::face(const TileFace &f)
{
    if (!joinHalf(f) && !hold(f))
        out_->face(f);
}

// Crossed planes come as four halves, two by two in one plane; a pair in
// one state goes on as one face whose picture repeats mirrored, which
// within 0..1 on each half samples as the clamped halves did.
bool TileMerger::joinHalf(const TileFace &f)
{
    std::vector<TileFace> &held = groups_->halves;
    if (!held.empty() && memcmp(held[0].origin, f.origin, sizeof f.origin) != 0)
        flushHalves();
    Half h;
    if (!merge_half(f, &h))
        return false;
    for (size_t i = 0; i < held.size(); i++) {
        Half hh;
        TileFace joined;
        if (merge_half(held[i], &hh) && merge_halves(held[i], hh, f, h, &joined)) {
            held.erase(held.begin() + (long)i);
            out_->face(joined);
            return true;
        }
    }
    held.push_back(f);
    return true;
}

void TileMerger::flushHalves(void)
{
    for (const TileFace &f : groups_->halves)
        out_->face(f);
    groups_->halves.clear();
}

bool TileMerger::hold(const TileFace &f)
{
    if (!usable_ || f.mode != GPU_QUADS || f.count != 4 || !f.hasNormal)
        return false;
    const int axis = tile_faceAxis(f);
    if (axis < 0)
        return false;
    const int a = (axis + 1) % 3, b = (axis + 2) % 3;
    int cell[3];
    for (int k = 0; k < 3; k++) {
        float q = f.origin[k] / unit_[k];
        if (!(fabsf(q - rintf(q)) < 1e-3f && fabsf(q) < 1e6f))
            return false;
        cell[k] = (int)rintf(q);
    }
    unsigned roles;
    int at[4];
    if (!merge_roles(f, a, b, &roles, at))
        return false;
    // The corners must sit at the cell's side: a rectangle as wide as the cell.
    for (int i = 0; i < 4; i++)
        if (fabsf(fabsf(f.corner[i][a]) * 2.0f - unit_[a]) > 1e-4f * unit_[a] ||
            fabsf(fabsf(f.corner[i][b]) * 2.0f - unit_[b]) > 1e-4f * unit_[b])
            return false;
    const float *u00 = &f.corner[at[0]][3], *u10 = &f.corner[at[1]][3];
    const float *u01 = &f.corner[at[2]][3], *u11 = &f.corner[at[3]][3];
    int stepA[2], stepB[2];
    for (int c = 0; c < 2; c++) {
        if (!merge_whole(u10[c] - u00[c], &stepA[c]) || !merge_whole(u01[c] - u00[c], &stepB[c]) ||
            u11[c] != u10[c] + u01[c] - u00[c])
            return false;
    }
    const float frac[2] = {u00[0] - floorf(u00[0]), u00[1] - floorf(u00[1])};
    const TileState &s = f.state;
    const unsigned look = (unsigned)s.smooth | (unsigned)s.cull << 1 | (unsigned)(f.normal[axis] > 0.0f) << 2;
    const unsigned colour = (unsigned)s.r | (unsigned)s.g << 8 | (unsigned)s.b << 16 | (unsigned)s.a << 24;
    MergeKey key{s.image, look, colour, axis, cell[axis], roles, stepA[0], stepA[1], stepB[0], stepB[1],
                 frac[0], frac[1]};
    Group &g = groups_->byKey[key];
    if (g.faces.empty()) {
        g.axis = axis;
        for (int i = 0; i < 4; i++)
            g.at[i] = at[i];
        for (int c = 0; c < 2; c++) {
            g.stepA[c] = stepA[c];
            g.stepB[c] = stepB[c];
        }
    }
    g.faces.push_back(Held{cell[a], cell[b], f});
    return true;
}

// One face for the cells n[0] x n[1] from the held face at their low corner.
void TileMerger::joined(const void *group, const TileFace &low, int na, int nb)
{
    const Group &g = *static_cast<const Group *>(group);
    const int a = (g.axis + 1) % 3, b = (g.axis + 2) % 3;
    TileFace m = low;
    const float *u00 = &low.corner[g.at[0]][3];
    for (int role = 0; role < 4; role++) {
        float *c = m.corner[g.at[role]];
        const int ha = role & 1, hb = role >> 1 & 1;
        c[a] += (float)(ha * (na - 1)) * unit_[a];
        c[b] += (float)(hb * (nb - 1)) * unit_[b];
        for (int k = 0; k < 2; k++)
            c[3 + k] = u00[k] + (float)(ha * na * g.stepA[k] + hb * nb * g.stepB[k]);
    }
    m.repeat = na > 1 || nb > 1 ? TEXTURE_REPEAT : TEXTURE_CLAMP;
    out_->face(m);
}

void TileMerger::finish(void)
{
    flushHalves();
    for (auto &entry : groups_->byKey) {
        Group &g = entry.second;
        int lo[2] = {g.faces[0].a, g.faces[0].b}, hi[2] = {lo[0], lo[1]};
        for (const Held &h : g.faces) {
            lo[0] = std::min(lo[0], h.a), hi[0] = std::max(hi[0], h.a);
            lo[1] = std::min(lo[1], h.b), hi[1] = std::max(hi[1], h.b);
        }
        const long wide = (long)hi[0] - lo[0] + 1, high = (long)hi[1] - lo[1] + 1;
        if (wide * high > (long)g.faces.size() * 64 + 4096) {
            // Scattered over a wide plane: not worth a grid.
            for (const Held &h : g.faces)
                out_->face(h.face);
            continue;
        }
        // The grid of held faces: an index each, -1 for none or already joined.
        std::vector<int> grid((size_t)(wide * high), -1);
        auto at = [&](long x, long y) -> int & { return grid[(size_t)(y * wide + x)]; };
        for (size_t i = 0; i < g.faces.size(); i++) {
            int &slot = at(g.faces[i].a - lo[0], g.faces[i].b - lo[1]);
            if (slot < 0)
                slot = (int)i;
            else
                out_->face(g.faces[i].face);  // a second face on one cell stays as it is
        }
        // Greedy: as far as the row goes, then as many rows as are whole.
        for (long y = 0; y < high; y++)
            for (long x = 0; x < wide; x++) {
                const int first = at(x, y);
                if (first < 0)
                    continue;
                long na = 1, nb = 1;
                while (x + na < wide && at(x + na, y) >= 0)
                    na++;
                for (bool whole = true; whole && y + nb < high;) {
                    for (long i = 0; i < na && whole; i++)
                        whole = at(x + i, y + nb) >= 0;
                    nb += whole;
                }
                for (long j = 0; j < nb; j++)
                    for (long i = 0; i < na; i++)
                        at(x + i, y + j) = -1;
                joined(&g, g.faces[(size_t)first].face, (int)na, (int)nb);
            }
    }
    groups_->byKey.clear();
}
