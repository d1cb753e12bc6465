// tile_cover.cpp -- which pixels nearer opaque faces already cover
#include "tile.h"

#include <math.h>

#include <algorithm>

// A face's corners cut to the part between the near and far planes, in
// the window's normalised coordinates: how many are left (none when the
// face lies wholly outside), or -1 for corners that are not numbers.
int TileCover::project(const float *v, int count, float xy[8][2]) const
{
    float in[8][4], out[8][4];
    const float *m = clip_;
    bool inside = true;  // between the planes: nothing to cut
    for (int i = 0; i < count; i++) {
        const float *p = v + 5 * i;
        for (int r = 0; r < 4; r++)
            in[i][r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
        if (!(fabsf(in[i][0]) < 1e30f && fabsf(in[i][1]) < 1e30f && fabsf(in[i][2]) < 1e30f &&
              fabsf(in[i][3]) < 1e30f))
            return -1;
        inside &= in[i][3] + in[i][2] >= 0.0f && in[i][3] - in[i][2] >= 0.0f && in[i][3] > 0.0f;
    }
    if (inside) {
        for (int i = 0; i < count; i++) {
            xy[i][0] = in[i][0] / in[i][3], xy[i][1] = in[i][1] / in[i][3];
            if (xy[i][0] != xy[i][0] || xy[i][1] != xy[i][1])
                return -1;
        }
        return count;
    }
    // The near plane (z >= -w), then the far one (z <= w).
    for (int plane = 0; plane < 2; plane++) {
        const float sign = plane ? -1.0f : 1.0f;
        int n = 0;
        for (int i = 0; i < count; i++) {
            const float *a = in[i], *b = in[(i + 1) % count];
            const float da = a[3] + sign * a[2], db = b[3] + sign * b[2];
            if (da >= 0.0f)
                std::copy(a, a + 4, out[n++]);
            if ((da >= 0.0f) != (db >= 0.0f)) {
                const float t = da / (da - db);
                for (int r = 0; r < 4; r++)
                    out[n][r] = a[r] + t * (b[r] - a[r]);
                n++;
            }
        }
        count = n;
        for (int i = 0; i < n; i++)
            std::copy(out[i], out[i] + 4, in[i]);
    }
    for (int i = 0; i < count; i++) {
        if (!(in[i][3] > 0.0f))
            return -1;
        xy[i][0] = in[i][0] / in[i][3];
        xy[i][1] = in[i][1] / in[i][3];
        if (xy[i][0] != xy[i][0] || xy[i][1] != xy[i][1])
            return -1;
    }
    return count;
}

void TileCover::begin(const float clip[16], int widthPixels, int heightPixels)
{
    std::copy(clip, clip + 16, clip_);
    width_ = std::max(1, widthPixels), height_ = std::max(1, heightPixels);
    words_ = (height_ + 63) / 64;
    covered_.assign((size_t)width_ * (size_t)words_, 0);
    pending_.assign(covered_.size(), 0);
    lo_.resize((size_t)width_);
    hi_.resize((size_t)width_);
    pendingFirst_ = width_, pendingLast_ = -1;
    // The rasteriser snaps corners to a fraction of a pixel: a face must
    // clear the cover, and the cover its faces' edges, by a little more.
    slackX_ = 2.0f / 32.0f / (float)width_;
    slackY_ = 2.0f / 32.0f / (float)height_;
}

// Pixel centres lie at (i + 0.5) pixels: the first at or above the
// normalised coordinate u, and the last at or below it.
static inline int cover_firstAtOrAbove(float u, int pixels)
{
    const float at = ceilf((u + 1.0f) * 0.5f * (float)pixels - 0.5f);
    return at < 0.0f ? 0 : at > (float)pixels ? pixels : (int)at;
}

static inline int cover_lastAtOrBelow(float u, int pixels)
{
    const float at = floorf((u + 1.0f) * 0.5f * (float)pixels - 0.5f);
    return at < -1.0f ? -1 : at >= (float)pixels ? pixels - 1 : (int)at;
}

// The bits of rows first..last that fall in word w.
static inline unsigned long long cover_bits(int first, int last, int w)
{
    const int lo = std::max(first - 64 * w, 0), hi = std::min(last - 64 * w, 63);
    if (lo > hi)
        return 0;
    const unsigned long long upTo = hi == 63 ? ~(unsigned long long)0 : (((unsigned long long)1 << (hi + 1)) - 1);
    return upTo & ~(((unsigned long long)1 << lo) - 1);
}

bool TileCover::covers(float xmin, float xmax, float ymin, float ymax) const
{
    // The pixel centres the face may reach, snapped or not.
    const int c0 = cover_firstAtOrAbove(xmin - slackX_, width_), c1 = cover_lastAtOrBelow(xmax + slackX_, width_);
    const int r0 = cover_firstAtOrAbove(ymin - slackY_, height_), r1 = cover_lastAtOrBelow(ymax + slackY_, height_);
    if (c0 > c1 || r0 > r1)
        return true;  // no pixel centre of the window
    for (int w = r0 / 64; w <= r1 / 64; w++) {
        const unsigned long long want = cover_bits(r0, r1, w);
        for (int c = c0; c <= c1; c++)
            if ((covered_[(size_t)c * (size_t)words_ + (size_t)w] & want) != want)
                return false;
    }
    return true;
}

bool TileCover::hides(const float *v, int count) const
{
    float xy[8][2];
    const int n = count >= 3 && count <= 4 ? project(v, count, xy) : -1;
    if (n < 0)
        return false;
    if (n == 0)
        return true;  // wholly before the near plane or beyond the far one
    float xmin = xy[0][0], xmax = xmin, ymin = xy[0][1], ymax = ymin;
    for (int i = 1; i < n; i++) {
        xmin = std::min(xmin, xy[i][0]), xmax = std::max(xmax, xy[i][0]);
        ymin = std::min(ymin, xy[i][1]), ymax = std::max(ymax, xy[i][1]);
    }
    return covers(xmin, xmax, ymin, ymax);
}

bool TileCover::hidesBox(const float lo[3], const float hi[3]) const
{
    // Every pixel of what the box holds lies within its corners' bounds,
    // while they all lie beyond the near plane.
    float xmin = 1e30f, xmax = -1e30f, ymin = 1e30f, ymax = -1e30f;
    const float *m = clip_;
    for (int i = 0; i < 8; i++) {
        const float p[3] = {(i & 1) ? hi[0] : lo[0], (i & 2) ? hi[1] : lo[1], (i & 4) ? hi[2] : lo[2]};
        float c[4];
        for (int r = 0; r < 4; r++)
            c[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
        if (!(c[3] > 0.0f && c[2] >= -c[3] && fabsf(c[0]) < 1e30f && fabsf(c[1]) < 1e30f))
            return false;
        const float x = c[0] / c[3], y = c[1] / c[3];
        xmin = std::min(xmin, x), xmax = std::max(xmax, x), ymin = std::min(ymin, y), ymax = std::max(ymax, y);
    }
    return covers(xmin, xmax, ymin, ymax);
}

void TileCover::add(const float *v, int count, bool bothSides)
{
    float xy[8][2];
    const int n = count >= 3 && count <= 4 ? project(v, count, xy) : -1;
    if (n < 3)
        return;
    // Only a face turned towards the eye is drawn where culling is on.
    float area = 0.0f;
    for (int i = 0; i < n; i++) {
        const float *a = xy[i], *b = xy[(i + 1) % n];
        area += a[0] * b[1] - b[0] * a[1];
    }
    if (!(bothSides ? area != 0.0f : area > 0.0f))
        return;
    float xmin = xy[0][0], xmax = xmin;
    for (int i = 1; i < n; i++)
        xmin = std::min(xmin, xy[i][0]), xmax = std::max(xmax, xy[i][0]);
    // The pixel centres' columns the face spans, with the slack to spare.
    const int c0 = cover_firstAtOrAbove(xmin + slackX_, width_), c1 = cover_lastAtOrBelow(xmax - slackX_, width_);
    if (c0 > c1)
        return;
    // Its lower edge is the greatest of the lines of the edges that run
    // one way, its upper edge the least of the others' (wound
    // anticlockwise, the lower ones run to the right).  Each column takes
    // the highest lower line and lowest upper one within the slack of its
    // centre, from the edges that reach that near it.
    float *lo = lo_.data() + c0, *hi = hi_.data() + c0;
    std::fill(lo, lo + (c1 - c0 + 1), -1e30f);
    std::fill(hi, hi + (c1 - c0 + 1), 1e30f);
    const float step = 2.0f / (float)width_;
    for (int i = 0; i < n; i++) {
        const float *a = xy[i], *b = xy[(i + 1) % n];
        if (a[0] == b[0])
            continue;
        const bool lower = (b[0] > a[0]) == (area > 0.0f);
        const float slope = (b[1] - a[1]) / (b[0] - a[0]), reach = slackX_ * fabsf(slope);
        const int e0 = std::max(c0, cover_firstAtOrAbove(std::min(a[0], b[0]) - slackX_, width_));
        const int e1 = std::min(c1, cover_lastAtOrBelow(std::max(a[0], b[0]) + slackX_, width_));
        if (!(fabsf(slope) < 1e20f)) {
            // Upright as near as makes no difference: its columns stay open.
            for (int c = e0; c <= e1; c++)
                lo[c - c0] = 1e30f;
            continue;
        }
        // In rows rather than normalised units from here on.
        const float rowsPer = 0.5f * (float)height_, dy = slope * step * rowsPer;
        const float y0 = (a[1] + slope * (-1.0f + ((float)e0 + 0.5f) * step - a[0]) + 1.0f) * rowsPer - 0.5f;
        const float r = (reach + slackY_) * rowsPer;
        if (lower)
            for (int c = e0; c <= e1; c++)
                lo[c - c0] = std::max(lo[c - c0], y0 + dy * (float)(c - e0) + r);
        else
            for (int c = e0; c <= e1; c++)
                hi[c - c0] = std::min(hi[c - c0], y0 + dy * (float)(c - e0) - r);
    }
    const float rowLimit = (float)height_;
    for (int c = c0; c <= c1; c++) {
        // Rows whose centres lie within: lo <= row <= hi, in row units.
        const float l = ceilf(std::max(lo[c - c0], 0.0f)), h = floorf(std::min(hi[c - c0], rowLimit));
        if (!(l <= h))
            continue;
        const int r0 = (int)l, r1 = std::min((int)h, height_ - 1);
        if (r0 > r1)
            continue;
        unsigned long long *col = &pending_[(size_t)c * (size_t)words_];
        for (int w = r0 >> 6; w <= r1 >> 6; w++)
            col[w] |= cover_bits(r0, r1, w);
    }
    pendingFirst_ = std::min(pendingFirst_, c0), pendingLast_ = std::max(pendingLast_, c1);
}

void TileCover::commit(void)
{
    for (int c = pendingFirst_; c <= pendingLast_; c++)
        for (int w = 0; w < words_; w++) {
            const size_t at = (size_t)c * (size_t)words_ + (size_t)w;
            covered_[at] |= pending_[at];
            pending_[at] = 0;
        }
    pendingFirst_ = width_, pendingLast_ = -1;
}
