// test_tile_draw_geometry.cpp -- the primitives each cube shape sends, and the cells a frame visits
//
// The immediate-mode calls are recorded on their way to the real OpenGL
// context: this file defines the few entry points the drawing code uses,
// notes each call with the render state in force, and forwards it to the
// driver's own function.
#include <dlfcn.h>
#include <math.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "camera.h"
#include "test_support.h"
#include "texture.h"
#include "tile.h"

namespace {

struct Vertex {
    float s, t, x, y, z;
};

struct Prim {
    GLenum mode;
    bool normalSent;  // glNormal3f since the previous primitive
    float normal[3];  // the current normal as the driver holds it
    bool culling;     // GL_CULL_FACE enabled
    GLuint texture;   // bound when the primitive began
    std::vector<Vertex> v;
};

struct Recorder {
    bool on = false;
    std::vector<Prim> prims;
    std::vector<std::vector<float>> translations;
    bool normalPending = false;
    float s = 0, t = 0;
    int pushDepth = 0, maxPushDepth = 0;
};

Recorder rec;

template <typename F>
F *realGl(F *, const char *name)
{
    return reinterpret_cast<F *>(dlsym(RTLD_NEXT, name));
}

#define REAL(fn) (([]() { static auto p = realGl(&fn, #fn); return p; })())

}  // namespace

extern "C" {

void glBegin(GLenum mode)
{
    if (rec.on) {
        Prim p{};
        p.mode = mode;
        p.normalSent = rec.normalPending;
        rec.normalPending = false;
        glGetFloatv(GL_CURRENT_NORMAL, p.normal);
        p.culling = glIsEnabled(GL_CULL_FACE);
        GLint name = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        p.texture = (GLuint)name;
        rec.prims.push_back(p);
    }
    REAL(glBegin)(mode);
}

void glTexCoord2f(GLfloat s, GLfloat t)
{
    rec.s = s;
    rec.t = t;
    REAL(glTexCoord2f)(s, t);
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (rec.on && !rec.prims.empty())
        rec.prims.back().v.push_back(Vertex{rec.s, rec.t, x, y, z});
    REAL(glVertex3f)(x, y, z);
}

void glVertex2f(GLfloat x, GLfloat y)
{
    if (rec.on && !rec.prims.empty())
        rec.prims.back().v.push_back(Vertex{rec.s, rec.t, x, y, 0});
    REAL(glVertex2f)(x, y);
}

void glNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    rec.normalPending = true;
    REAL(glNormal3f)(x, y, z);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    if (rec.on)
        rec.translations.push_back({x, y, z});
    REAL(glTranslatef)(x, y, z);
}

void glPushMatrix(void)
{
    if (++rec.pushDepth > rec.maxPushDepth)
        rec.maxPushDepth = rec.pushDepth;
    REAL(glPushMatrix)();
}

void glPopMatrix(void)
{
    rec.pushDepth--;
    REAL(glPopMatrix)();
}

}  // extern "C"

namespace {

const float h = 1.0f, d = 3.5f;

// The face each box-face quad lies on: an axis, the side, and its normal.
struct FacePlane {
    int axis;
    float at;
    float n[3];
};
const FacePlane planes[6] = {
    {2, -d, {0, 0, -1}}, {1, h, {0, 1, 0}},  {0, h, {1, 0, 0}},
    {1, -h, {0, -1, 0}}, {0, -h, {-1, 0, 0}}, {2, d, {0, 0, 1}},
};
const unsigned char boxOrder[6] = {TILE_BACK, TILE_FRONT, TILE_TOP,
                                   TILE_RIGHT, TILE_BOTTOM, TILE_LEFT};
const float plainUV[8] = {0, 0, 0, 1, 1, 1, 1, 0};

// The normal of a polygon's winding (Newell's method): it points to the
// side from which the corners run counter-clockwise.
void winding(const Prim &p, float out[3])
{
    out[0] = out[1] = out[2] = 0;
    size_t n = p.v.size();
    for (size_t i = 0; i < n; i++) {
        const Vertex &a = p.v[i], &b = p.v[(i + 1) % n];
        out[0] += (a.y - b.y) * (a.z + b.z);
        out[1] += (a.z - b.z) * (a.x + b.x);
        out[2] += (a.x - b.x) * (a.y + b.y);
    }
}

float facing(const Prim &p, float x, float y, float z)
{
    float w[3];
    winding(p, w);
    return w[0] * x + w[1] * y + w[2] * z;
}

float coord(const Vertex &v, int axis)
{
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

// The corner pair a position of a full box face carries.
bool uvAt(const Prim &square, float x, float y, float z, float *s, float *t)
{
    for (const Vertex &v : square.v)
        if (v.x == x && v.y == y && v.z == z) {
            *s = v.s;
            *t = v.t;
            return true;
        }
    return false;
}

class TilePlot : public ::testing::Test {
protected:
    TextureEntry entries[6];
    GLuint names[7];

    void SetUp() override
    {
        REQUIRE_GL();
        glGenTextures(7, names);
        memset(tile, 0, sizeof tile);
        memset(entries, 0, sizeof entries);
        for (int i = 0; i < 6; i++)
            entries[i].image = Image{32, 32, 0, 32, 32, names[i]};
        tile_dummy = Image{4, 4, 0, 4, 4, names[6]};
        tile_matrix = tile_dummy;
        tile_optTexture = 1;
        tile_optSmooth = 1;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    void TearDown() override
    {
        rec.on = false;
        if (!test_glContext())
            return;
        glDeleteTextures(7, names);
        memset(tile, 0, sizeof tile);
    }

    // A type with every face on, each face with its own picture.
    CubeDef &allFaces(unsigned char type, unsigned char shape)
    {
        CubeDef &def = tile[type];
        def = CubeDef{};
        def.shape = shape;
        for (int f = 0; f < 6; f++) {
            def.faceOn[f] = 1;
            def.doubleSided[f] = 1;
            def.faceTexture[f] = &entries[f];
        }
        return def;
    }

    std::vector<Prim> plot(unsigned char type, unsigned x = 0, unsigned y = 0, unsigned z = 0)
    {
        rec = Recorder();
        rec.on = true;
        tile_plot(type, x, y, z);
        rec.on = false;
        return rec.prims;
    }

    static void expectBoxFace(const Prim &p, unsigned char face, bool withNormal)
    {
        const FacePlane &pl = planes[face];
        SCOPED_TRACE("face " + std::to_string(face));
        EXPECT_EQ(p.mode, (GLenum)GL_QUADS);
        ASSERT_EQ(p.v.size(), 4u);
        for (int i = 0; i < 4; i++) {
            EXPECT_FLOAT_EQ(coord(p.v[i], pl.axis), pl.at);
            EXPECT_FLOAT_EQ(p.v[i].s, plainUV[2 * i]);
            EXPECT_FLOAT_EQ(p.v[i].t, plainUV[2 * i + 1]);
        }
        EXPECT_GT(facing(p, pl.n[0], pl.n[1], pl.n[2]), 0.0f) << "wound inwards";
        EXPECT_EQ(p.normalSent, withNormal);
        if (withNormal) {
            for (int i = 0; i < 3; i++)
                EXPECT_FLOAT_EQ(p.normal[i], pl.n[i]);
        }
    }
};

TEST_F(TilePlot, ABoxSendsSixSquaresInItsOrder)
{
    allFaces(1, 0);
    std::vector<Prim> prims = plot(1);
    ASSERT_EQ(prims.size(), 6u);
    for (int i = 0; i < 6; i++) {
        expectBoxFace(prims[i], boxOrder[i], true);
        EXPECT_EQ(prims[i].texture, names[boxOrder[i]]);
    }
    const float front[4][3] = {{-1, 1, 3.5f}, {-1, -1, 3.5f}, {1, -1, 3.5f}, {1, 1, 3.5f}};
    for (int j = 0; j < 4; j++) {
        EXPECT_FLOAT_EQ(prims[1].v[j].x, front[j][0]);
        EXPECT_FLOAT_EQ(prims[1].v[j].y, front[j][1]);
        EXPECT_FLOAT_EQ(prims[1].v[j].z, front[j][2]);
    }

    // Shape codes above 12 draw as the box.
    for (unsigned char shape : {13, 200, 255}) {
        allFaces(2, shape);
        std::vector<Prim> other = plot(2);
        ASSERT_EQ(other.size(), 6u);
        for (int i = 0; i < 6; i++)
            for (int j = 0; j < 4; j++)
                EXPECT_EQ(memcmp(&other[i].v[j], &prims[i].v[j], sizeof(Vertex)), 0);
    }

    // The corners follow the cell size.
    tile_size = 4.0f;
    tile_sizeZ = 1.0f;
    prims = plot(1);
    tile_size = 2.0f;
    tile_sizeZ = 7.0f;
    ASSERT_EQ(prims.size(), 6u);
    EXPECT_FLOAT_EQ(prims[1].v[0].x, -2.0f);
    EXPECT_FLOAT_EQ(prims[1].v[0].z, 0.5f);

    // A type with no face on sends nothing; an unfilled record likewise.
    tile[3] = CubeDef{};
    EXPECT_TRUE(plot(3).empty());
}

TEST_F(TilePlot, CullingFollowsEachFacesDoubleSidedFlag)
{
    CubeDef &def = allFaces(1, 0);
    const unsigned char twoSided[6] = {1, 0, 1, 1, 0, 0};  // by face index
    memcpy(def.doubleSided, twoSided, 6);
    glEnable(GL_CULL_FACE);
    std::vector<Prim> prims = plot(1);
    ASSERT_EQ(prims.size(), 6u);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(prims[i].culling, !twoSided[boxOrder[i]]) << "face " << (int)boxOrder[i];
    // The call is made for faces that are off too: the last one, LEFT,
    // leaves culling on although it draws nothing.
    def.faceOn[TILE_LEFT] = 0;
    def.doubleSided[TILE_BOTTOM] = 1;
    plot(1);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(TilePlot, WedgesReplaceTheirFaceAndCapTheEnds)
{
    // The corner each wedge keeps, by shape 1..4.
    const float keep[4][2] = {{-h, -h}, {-h, h}, {h, h}, {h, -h}};
    for (unsigned char shape = 1; shape <= 4; shape++) {
        SCOPED_TRACE("shape " + std::to_string(shape));
        allFaces(2, 0);
        std::vector<Prim> squares = plot(2);
        CubeDef &def = allFaces(1, shape);
        std::vector<Prim> prims = plot(1);
        // Slope, two caps, then the three box faces still on.
        ASSERT_EQ(prims.size(), 6u);
        const Prim &slope = prims[0], &front = prims[1], &back = prims[2];
        EXPECT_EQ(slope.mode, (GLenum)GL_QUADS);
        EXPECT_EQ(slope.texture, names[shape]);
        EXPECT_GT(facing(slope, -keep[shape - 1][0], -keep[shape - 1][1], 0), 0.0f);
        for (int i = 0; i < 4; i++) {
            EXPECT_FLOAT_EQ(slope.v[i].s, plainUV[2 * i]);
            EXPECT_FLOAT_EQ(slope.v[i].t, plainUV[2 * i + 1]);
        }
        EXPECT_EQ(front.mode, (GLenum)GL_TRIANGLES);
        EXPECT_EQ(back.mode, (GLenum)GL_TRIANGLES);
        EXPECT_EQ(front.texture, names[TILE_FRONT]);
        EXPECT_EQ(back.texture, names[TILE_BACK]);
        EXPECT_EQ(front.normalSent, shape != 4);
        EXPECT_GT(facing(front, 0, 0, 1), 0.0f);
        EXPECT_GT(facing(back, 0, 0, -1), 0.0f);
        // Each cap covers the kept corner and shows its triangle of the
        // full square's picture.
        for (const Prim *cap : {&front, &back}) {
            const Prim &square = squares[cap == &front ? 1 : 0];
            ASSERT_EQ(cap->v.size(), 3u);
            bool corner = false;
            for (const Vertex &v : cap->v) {
                float s, t;
                ASSERT_TRUE(uvAt(square, v.x, v.y, v.z, &s, &t));
                EXPECT_FLOAT_EQ(v.s, s);
                EXPECT_FLOAT_EQ(v.t, t);
                corner |= v.x == keep[shape - 1][0] && v.y == keep[shape - 1][1];
            }
            EXPECT_TRUE(corner);
        }
        unsigned char expectRest[6], n = 0;
        for (unsigned char f : boxOrder)
            if (f != shape && f != TILE_FRONT && f != TILE_BACK)
                expectRest[n++] = f;
        for (int i = 0; i < 3; i++)
            expectBoxFace(prims[3 + i], expectRest[i], true);
        EXPECT_EQ(def.faceOn[shape], 0);
        EXPECT_EQ(def.faceOn[TILE_FRONT], 0);
        EXPECT_EQ(def.faceOn[TILE_BACK], 0);
        // The cleared flags stay: the next cell draws the same.
        EXPECT_EQ(plot(1).size(), 6u);
    }
}

TEST_F(TilePlot, ACapWithoutAPictureLeavesTheFullSquare)
{
    CubeDef &def = allFaces(1, 2);
    def.faceTexture[TILE_BACK] = nullptr;
    def.doubleSided[TILE_BACK] = 0;
    std::vector<Prim> prims = plot(1);
    // Slope, front cap, then BACK as a square with the stand-by picture.
    ASSERT_EQ(prims.size(), 2u + 4u);
    EXPECT_EQ(prims[1].mode, (GLenum)GL_TRIANGLES);
    expectBoxFace(prims[2], TILE_BACK, true);
    EXPECT_EQ(prims[2].texture, names[6]);
    EXPECT_TRUE(prims[2].culling);
    EXPECT_EQ(def.faceOn[TILE_BACK], 1);
    expectBoxFace(prims[3], TILE_TOP, true);
    expectBoxFace(prims[4], TILE_BOTTOM, true);
    expectBoxFace(prims[5], TILE_LEFT, true);
}

TEST_F(TilePlot, CrossedTypesDrawHalfPlanesThroughTheCentreLine)
{
    // The outer edge of each half, and the side the half faces.
    struct Half {
        unsigned char face;
        float x, z, fx, fz;
    };
    const Half halves[4] = {
        {TILE_BACK, -h, d, 1, 1}, {TILE_FRONT, h, -d, 1, 1},
        {TILE_RIGHT, h, d, -1, 1}, {TILE_LEFT, -h, -d, -1, 1},
    };
    auto expectHalf = [&](const Prim &p, unsigned char face) {
        SCOPED_TRACE("half " + std::to_string(face));
        const Half *half = nullptr;
        for (const Half &c : halves)
            if (c.face == face)
                half = &c;
        ASSERT_TRUE(half);
        EXPECT_EQ(p.texture, names[face]);
        EXPECT_FALSE(p.normalSent);
        ASSERT_EQ(p.v.size(), 4u);
        int centre = 0, edge = 0;
        for (const Vertex &v : p.v) {
            centre += v.x == 0 && v.z == 0;
            edge += v.x == half->x && v.z == half->z;
        }
        EXPECT_EQ(centre, 2);
        EXPECT_EQ(edge, 2);
        EXPECT_GT(facing(p, half->fx, 0, half->fz), 0.0f);
    };

    CubeDef &def = allFaces(1, 0);
    def.crossed = 1;
    std::vector<Prim> prims = plot(1);
    ASSERT_EQ(prims.size(), 6u);
    expectHalf(prims[0], TILE_BACK);
    expectHalf(prims[1], TILE_FRONT);
    expectBoxFace(prims[2], TILE_TOP, true);
    expectHalf(prims[3], TILE_RIGHT);
    expectBoxFace(prims[4], TILE_BOTTOM, true);
    expectHalf(prims[5], TILE_LEFT);

    // With a wedge whose caps are drawn, the caps take FRONT and BACK and
    // the slope TOP: only the RIGHT and LEFT halves of the cross remain.
    CubeDef &wedge = allFaces(2, 1);
    wedge.crossed = 1;
    prims = plot(2);
    ASSERT_EQ(prims.size(), 3u + 3u);
    expectHalf(prims[3], TILE_RIGHT);
    expectBoxFace(prims[4], TILE_BOTTOM, true);
    expectHalf(prims[5], TILE_LEFT);
}

TEST_F(TilePlot, SlantedQuadsWearTheirFixedFacesState)
{
    // The side each of shapes 5..12 faces.
    const float faces[8][3] = {{0, 1, 1},  {0, -1, 1}, {0, -1, -1}, {0, 1, -1},
                               {1, 0, 1},  {-1, 0, 1}, {-1, 0, -1}, {1, 0, -1}};
    for (unsigned char shape = 5; shape <= 12; shape++) {
        SCOPED_TRACE("shape " + std::to_string(shape));
        unsigned char own = shape <= 8 ? TILE_TOP : TILE_FRONT;
        CubeDef &def = allFaces(1, shape);
        memset(def.faceOn, 0, 6);
        memset(def.doubleSided, 0, 6);
        // Culling comes from the chosen face even though that face is off,
        // and its picture and turn are used.
        def.doubleSided[own] = 1;
        def.orientation[own].rotate = 1;
        glEnable(GL_CULL_FACE);
        std::vector<Prim> prims = plot(1);
        ASSERT_EQ(prims.size(), 1u);
        const Prim &p = prims[0];
        EXPECT_EQ(p.mode, (GLenum)GL_QUADS);
        EXPECT_FALSE(p.normalSent);
        EXPECT_FALSE(p.culling);
        EXPECT_EQ(p.texture, names[own]);
        const float turned[8] = {0, 1, 1, 1, 1, 0, 0, 0};
        ASSERT_EQ(p.v.size(), 4u);
        for (int i = 0; i < 4; i++) {
            EXPECT_FLOAT_EQ(p.v[i].s, turned[2 * i]);
            EXPECT_FLOAT_EQ(p.v[i].t, turned[2 * i + 1]);
            EXPECT_FLOAT_EQ(fabsf(p.v[i].x), h);
            EXPECT_FLOAT_EQ(fabsf(p.v[i].y), h);
            EXPECT_FLOAT_EQ(fabsf(p.v[i].z), d);
        }
        const float *f = faces[shape - 5];
        EXPECT_GT(facing(p, f[0], f[1], f[2]), 0.0f);
        // The box stage follows as usual.
        def.faceOn[TILE_LEFT] = 1;
        prims = plot(1);
        ASSERT_EQ(prims.size(), 2u);
        expectBoxFace(prims[1], TILE_LEFT, true);
    }
}

TEST_F(TilePlot, QuadPairsItsPointsWithTheCornersEitherWay)
{
    const float uv[8] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f};
    memcpy(tile_uv, uv, sizeof uv);
    for (unsigned char reverse : {0, 1}) {
        rec = Recorder();
        rec.on = true;
        tile_quad(reverse, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12);
        rec.on = false;
        ASSERT_EQ(rec.prims.size(), 1u);
        const Prim &p = rec.prims[0];
        EXPECT_EQ(p.mode, (GLenum)GL_QUADS);
        ASSERT_EQ(p.v.size(), 4u);
        for (int i = 0; i < 4; i++) {
            int c = reverse ? 3 - i : i;
            EXPECT_FLOAT_EQ(p.v[i].x, 1 + 3 * i);
            EXPECT_FLOAT_EQ(p.v[i].z, 3 + 3 * i);
            EXPECT_FLOAT_EQ(p.v[i].s, uv[2 * c]);
            EXPECT_FLOAT_EQ(p.v[i].t, uv[2 * c + 1]);
        }
    }
}

// ------------------------------------------------------------- the frame pass

class TileDraw : public TilePlot {
protected:
    std::vector<unsigned char> cells;

    void SetUp() override
    {
        TilePlot::SetUp();
        if (IsSkipped())
            return;
        allFaces(4, 0);
    }

    void TearDown() override
    {
        tile_map = nullptr;
        tile_width = tile_height = tile_depth = 0;
        tile_bg = nullptr;
        TilePlot::TearDown();
    }

    void world(unsigned w, unsigned layers, unsigned depth, unsigned char fill)
    {
        cells.assign((size_t)w * layers * depth, fill);
        cells.shrink_to_fit();
        tile_map = cells.empty() ? nullptr : cells.data();
        tile_width = (unsigned short)w;
        tile_height = (unsigned short)layers;
        tile_depth = (unsigned short)depth;
    }

    // Runs one pass; returns the console line.
    std::string draw(float ex, float ey, float ez)
    {
        rec = Recorder();
        rec.on = true;
        testing::internal::CaptureStdout();
        tile_draw(ex, ey, ez);
        std::string line = testing::internal::GetCapturedStdout();
        rec.on = false;
        return line;
    }
};

TEST_F(TileDraw, VisitsTheBlockFarthestRowFirst)
{
    world(24, 23, 12, 0);  // type 0: visited, draws nothing
    tile_optTexture = 0;
    EXPECT_EQ(draw(20, 20, 70), "0->10\n");
    EXPECT_TRUE(rec.prims.empty());
    ASSERT_EQ(rec.translations.size(), 21u * 21u * 10u);
    EXPECT_EQ(rec.translations.front(), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(rec.translations[1], (std::vector<float>{2, 0, 0}));
    EXPECT_EQ(rec.translations[21], (std::vector<float>{0, 2, 0}));
    EXPECT_EQ(rec.translations.back(), (std::vector<float>{40, 40, 63}));
    EXPECT_EQ(rec.maxPushDepth, 1);
    EXPECT_EQ(rec.pushDepth, 0);

    // Empty cells are skipped outright; a drawn cell's faces follow its
    // translation.
    std::fill(cells.begin(), cells.end(), (unsigned char)TILE_EMPTY);
    cells[(2 * 12 + 3) * 24 + 1] = 4;  // x 1, layer 2, row 3
    EXPECT_EQ(draw(20, 20, 70), "0->10\n");
    ASSERT_EQ(rec.translations.size(), 1u);
    EXPECT_EQ(rec.translations[0], (std::vector<float>{2, 4, 21}));
    EXPECT_EQ(rec.prims.size(), 6u);
}

TEST_F(TileDraw, EyesAnywhereReadOnlyTheGrid)
{
    world(5, 5, 5, 4);  // sized exactly: a stray read shows under the sanitizers
    tile_optTexture = 0;
    for (float ez : {6.9f, -70.0f, NAN}) {
        EXPECT_EQ(draw(4, 4, ez), "0->0\n") << ez;
        EXPECT_TRUE(rec.translations.empty());
    }
    EXPECT_EQ(draw(INFINITY, 1e30f, 1e30f), "0->4\n");
    EXPECT_TRUE(rec.translations.empty());
    // Over column 2 of a 5-wide grid, far along z: cells 0 to 3 each way.
    draw(4, 4, 1e30f);
    EXPECT_EQ(rec.translations.size(), 4u * 4u * 4u);
    EXPECT_EQ(rec.translations.back(), (std::vector<float>{6, 6, 21}));

    // An empty grid prints its line and never reads the map.
    world(0, 5, 5, 4);
    tile_map = reinterpret_cast<unsigned char *>(1);
    EXPECT_EQ(draw(4, 4, 70), "0->0\n");
    EXPECT_TRUE(rec.translations.empty());
    tile_map = nullptr;
}

TEST_F(TileDraw, TheBackdropFillsTheWindowWhileTexturing)
{
    world(3, 3, 3, TILE_EMPTY);
    EXPECT_EQ(draw(0, 0, 0), "0->0\n");
    ASSERT_EQ(rec.prims.size(), 1u);
    const Prim &bg = rec.prims[0];
    EXPECT_EQ(bg.texture, names[6]);  // no background declared: the stand-by picture
    ASSERT_EQ(bg.v.size(), 4u);
    const float corners[4][4] = {{0, 0, 0, 0}, {0, 1, 0, 1}, {1, 1, 640.0f / 480.0f, 1},
                                 {1, 0, 640.0f / 480.0f, 0}};
    for (int i = 0; i < 4; i++) {
        EXPECT_FLOAT_EQ(bg.v[i].s, corners[i][0]);
        EXPECT_FLOAT_EQ(bg.v[i].t, corners[i][1]);
        EXPECT_FLOAT_EQ(bg.v[i].x, corners[i][2]);
        EXPECT_FLOAT_EQ(bg.v[i].y, corners[i][3]);
    }
    EXPECT_EQ(camera_ortho, 0);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

    tile_bg = &entries[3].image;
    draw(0, 0, 0);
    ASSERT_EQ(rec.prims.size(), 1u);
    EXPECT_EQ(rec.prims[0].texture, names[3]);

    tile_optTexture = 0;
    draw(0, 0, 0);
    EXPECT_TRUE(rec.prims.empty());
}

}  // namespace
