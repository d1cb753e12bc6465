// test_tile_draw_geometry.cpp -- the primitives each cube shape sends, and the cells a frame visits
//
// The immediate-mode calls are recorded on their way to the real OpenGL
// context: this file defines the few entry points the drawing code uses,
// notes each call with the render state in force, and forwards it.
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
    bool culling;
    GLuint texture;   // bound when the primitive began
    float moved[3];   // the last glTranslatef before it
    std::vector<Vertex> v;
};

struct Recorder {
    bool on = false, normalPending = false;
    float s = 0, t = 0, moved[3] = {0, 0, 0};
    std::vector<Prim> prims;
} rec;

template <typename F>
F *realGl(F *, const char *name) { return reinterpret_cast<F *>(dlsym(RTLD_NEXT, name)); }
#define REAL(fn) (([]() { static auto p = realGl(&fn, #fn); return p; })())

void recordVertex(float x, float y, float z)
{
    if (rec.on && !rec.prims.empty())
        rec.prims.back().v.push_back(Vertex{rec.s, rec.t, x, y, z});
}

}  // namespace

extern "C" {

void glBegin(GLenum mode)
{
    if (rec.on) {
        Prim p{mode, rec.normalPending, {}, glIsEnabled(GL_CULL_FACE) == GL_TRUE, 0, {}, {}};
        rec.normalPending = false;
        glGetFloatv(GL_CURRENT_NORMAL, p.normal);
        GLint name = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        p.texture = (GLuint)name;
        memcpy(p.moved, rec.moved, sizeof p.moved);
        rec.prims.push_back(p);
    }
    REAL(glBegin)(mode);
}

void glTexCoord2f(GLfloat s, GLfloat t) { rec.s = s; rec.t = t; REAL(glTexCoord2f)(s, t); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { recordVertex(x, y, z); REAL(glVertex3f)(x, y, z); }
void glVertex2f(GLfloat x, GLfloat y) { recordVertex(x, y, 0); REAL(glVertex2f)(x, y); }
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { rec.normalPending = true; REAL(glNormal3f)(x, y, z); }

void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    rec.moved[0] = x, rec.moved[1] = y, rec.moved[2] = z;
    REAL(glTranslatef)(x, y, z);
}

}  // extern "C"

namespace {

const float h = 1.0f, d = 3.5f;

// The plane each box face lies on (axis, position) and its outward normal.
const struct { int axis; float at, n[3]; } planes[6] = {
    {2, -d, {0, 0, -1}}, {1, h, {0, 1, 0}},   {0, h, {1, 0, 0}},
    {1, -h, {0, -1, 0}}, {0, -h, {-1, 0, 0}}, {2, d, {0, 0, 1}},
};
const unsigned char boxOrder[6] = {TILE_BACK, TILE_FRONT, TILE_TOP, TILE_RIGHT, TILE_BOTTOM, TILE_LEFT};
const std::vector<float> plainUV = {0, 0, 0, 1, 1, 1, 1, 0};

// The corners' texture coordinates (s, t, ...) or positions (x, y, z, ...).
std::vector<float> corners(const Prim &p, bool positions)
{
    std::vector<float> out;
    for (const Vertex &v : p.v)
        positions ? out.insert(out.end(), {v.x, v.y, v.z}) : out.insert(out.end(), {v.s, v.t});
    return out;
}
std::vector<float> uvs(const Prim &p) { return corners(p, false); }
std::vector<float> xyz(const Prim &p) { return corners(p, true); }

// How far the polygon's winding (Newell's normal) points along n: positive
// when its corners run counter-clockwise seen from that side.
float facing(const Prim &p, const float n[3])
{
    float w[3] = {0, 0, 0};
    for (size_t i = 0; i < p.v.size(); i++) {
        const Vertex &a = p.v[i], &b = p.v[(i + 1) % p.v.size()];
        w[0] += (a.y - b.y) * (a.z + b.z);
        w[1] += (a.z - b.z) * (a.x + b.x);
        w[2] += (a.x - b.x) * (a.y + b.y);
    }
    return w[0] * n[0] + w[1] * n[1] + w[2] * n[2];
}

class TilePlot : public ::testing::Test {
protected:
    TextureEntry entries[6];
    GLuint names[7];  // names[f] for face f, names[6] the stand-by picture
    std::vector<unsigned char> cells;

    void SetUp() override
    {
        REQUIRE_GL();
        glGenTextures(7, names);
        memset(tile, 0, sizeof tile);
        memset(entries, 0, sizeof entries);
        for (int i = 0; i < 6; i++)
            entries[i].image = Image{32, 32, 0, 32, 32, names[i]};
        tile_matrix = tile_dummy = Image{4, 4, 0, 4, 4, names[6]};
        tile_optTexture = tile_optSmooth = 1;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    void TearDown() override
    {
        rec.on = false;
        tile_map = nullptr;
        tile_width = tile_height = tile_depth = 0;
        tile_bg = nullptr;
        if (test_glContext())
            glDeleteTextures(7, names);
        memset(tile, 0, sizeof tile);
    }

    // A type with every face on and double-sided, each with its own picture.
    CubeDef &allFaces(unsigned char type, unsigned char shape)
    {
        CubeDef &def = tile[type] = CubeDef{};
        def.shape = shape;
        for (int f = 0; f < 6; f++) {
            def.faceOn[f] = def.doubleSided[f] = 1;
            def.faceTexture[f] = &entries[f];
        }
        return def;
    }

    std::vector<Prim> plot(unsigned char type)
    {
        rec = Recorder();
        rec.on = true;
        tile_plot(type, 0, 0, 0);
        rec.on = false;
        return rec.prims;
    }

    // A full square on the face's plane, wound outwards, with its normal.
    void expectBoxFace(const Prim &p, unsigned char face, GLuint texture = 0)
    {
        SCOPED_TRACE(testing::Message() << "face " << (int)face);
        EXPECT_EQ(p.mode, (GLenum)GL_QUADS);
        EXPECT_EQ(p.texture, texture ? texture : names[face]);
        ASSERT_EQ(p.v.size(), 4u);
        for (int i = 0; i < 4; i++)
            EXPECT_FLOAT_EQ(xyz(p)[3 * i + planes[face].axis], planes[face].at);
        EXPECT_EQ(uvs(p), plainUV);
        EXPECT_GT(facing(p, planes[face].n), 0.0f) << "wound inwards";
        EXPECT_TRUE(p.normalSent);
        EXPECT_EQ(std::vector<float>(p.normal, p.normal + 3),
                  std::vector<float>(planes[face].n, planes[face].n + 3));
    }

    void world(unsigned w, unsigned layers, unsigned depth, unsigned char fill)
    {
        cells.assign((size_t)w * layers * depth, fill);
        cells.shrink_to_fit();  // sized exactly: a stray read shows under the sanitizers
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
        rec.on = false;
        return testing::internal::GetCapturedStdout();
    }

    // Where the p-th primitive of a pass puts its first corner in the world,
    // whether the cell was placed by a translation or in its vertices.
    std::vector<float> placed(size_t p)
    {
        const Prim &prim = rec.prims.at(p);
        const float *m = prim.moved;
        return {m[0] + prim.v.at(0).x, m[1] + prim.v.at(0).y, m[2] + prim.v.at(0).z};
    }
};

TEST_F(TilePlot, ABoxSendsSixSquaresInItsOrderCullingByFace)
{
    CubeDef &def = allFaces(1, 0);
    const unsigned char twoSided[6] = {1, 0, 1, 1, 0, 0};  // by face index
    memcpy(def.doubleSided, twoSided, 6);
    glEnable(GL_CULL_FACE);
    std::vector<Prim> prims = plot(1);
    ASSERT_EQ(prims.size(), 6u);
    for (int i = 0; i < 6; i++) {
        expectBoxFace(prims[i], boxOrder[i]);
        EXPECT_EQ(prims[i].culling, !twoSided[boxOrder[i]]) << "face " << (int)boxOrder[i];
    }
    EXPECT_EQ(xyz(prims[1]), (std::vector<float>{-1, 1, d, -1, -1, d, 1, -1, d, 1, 1, d}));
    // Culling is set for faces that are off too: the last, LEFT, leaves it
    // on although it draws nothing.
    def.faceOn[TILE_LEFT] = 0;
    def.doubleSided[TILE_BOTTOM] = 1;
    plot(1);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));

    for (unsigned char shape : {13, 200, 255}) {  // drawn as the box
        allFaces(2, shape);
        std::vector<Prim> other = plot(2);
        ASSERT_EQ(other.size(), 6u);
        for (int i = 0; i < 6; i++)
            EXPECT_EQ(xyz(other[i]), xyz(prims[i]));
    }
    tile_size = 4.0f;  // the corners follow the cell size
    tile_sizeZ = 1.0f;
    prims = plot(2);
    tile_size = 2.0f;
    tile_sizeZ = 7.0f;
    EXPECT_EQ(xyz(prims[1])[0], -2.0f);
    EXPECT_EQ(xyz(prims[1])[2], 0.5f);
    tile[3] = CubeDef{};  // no face on: nothing
    EXPECT_TRUE(plot(3).empty());
}

TEST_F(TilePlot, WedgesReplaceTheirFaceAndCapTheEnds)
{
    const float keep[4][2] = {{-h, -h}, {-h, h}, {h, h}, {h, -h}};  // the corner each shape keeps
    allFaces(2, 0);
    const std::vector<Prim> squares = plot(2);
    for (unsigned char shape = 1; shape <= 4; shape++) {
        SCOPED_TRACE(testing::Message() << "shape " << (int)shape);
        CubeDef &def = allFaces(1, shape);
        std::vector<Prim> prims = plot(1);
        ASSERT_EQ(prims.size(), 6u);  // slope, FRONT cap, BACK cap, three box faces
        const float *k = keep[shape - 1], away[3] = {-k[0], -k[1], 0};
        EXPECT_EQ(prims[0].mode, (GLenum)GL_QUADS);
        EXPECT_EQ(prims[0].texture, names[shape]);
        EXPECT_EQ(uvs(prims[0]), plainUV);
        EXPECT_GT(facing(prims[0], away), 0.0f);
        EXPECT_EQ(prims[1].normalSent, shape != 4);
        for (unsigned char face : {TILE_FRONT, TILE_BACK}) {
            // Each cap covers the kept corner and shows its triangle of the
            // full square's picture.
            const Prim &cap = prims[face == TILE_FRONT ? 1 : 2], &square = squares[face == TILE_FRONT];
            EXPECT_EQ(cap.mode, (GLenum)GL_TRIANGLES);
            EXPECT_EQ(cap.texture, names[face]);
            EXPECT_GT(facing(cap, planes[face].n), 0.0f);
            ASSERT_EQ(cap.v.size(), 3u);
            bool corner = false;
            for (const Vertex &v : cap.v) {
                auto same = std::find_if(square.v.begin(), square.v.end(), [&](const Vertex &s) {
                    return s.x == v.x && s.y == v.y && s.z == v.z;
                });
                ASSERT_NE(same, square.v.end());
                EXPECT_EQ(std::make_pair(v.s, v.t), std::make_pair(same->s, same->t));
                corner |= v.x == k[0] && v.y == k[1];
            }
            EXPECT_TRUE(corner);
        }
        int n = 3;
        for (unsigned char f : boxOrder)
            if (f != shape && f != TILE_FRONT && f != TILE_BACK)
                expectBoxFace(prims[n++], f);
        EXPECT_EQ(def.faceOn[shape] | def.faceOn[TILE_FRONT] | def.faceOn[TILE_BACK], 0);
        EXPECT_EQ(plot(1).size(), 6u);  // the cleared flags stay: the next cell draws the same
    }

    // A cap without a picture leaves the full square, with the stand-by picture.
    CubeDef &def = allFaces(1, 2);
    def.faceTexture[TILE_BACK] = nullptr;
    def.doubleSided[TILE_BACK] = 0;
    std::vector<Prim> prims = plot(1);
    ASSERT_EQ(prims.size(), 6u);  // slope, FRONT cap, BACK square, TOP, BOTTOM, LEFT
    EXPECT_EQ(prims[1].mode, (GLenum)GL_TRIANGLES);
    expectBoxFace(prims[2], TILE_BACK, names[6]);
    EXPECT_TRUE(prims[2].culling);
    EXPECT_EQ(def.faceOn[TILE_BACK], 1);
    expectBoxFace(prims[3], TILE_TOP);
    expectBoxFace(prims[4], TILE_BOTTOM);
    expectBoxFace(prims[5], TILE_LEFT);
}

TEST_F(TilePlot, CrossedTypesDrawHalfPlanesThroughTheCentreLine)
{
    // By face: the outer edge (x, z) of each half, and the side it faces.
    const struct { float x, z, n[3]; } halves[6] = {
        {-h, d, {1, 0, 1}}, {}, {h, d, {-1, 0, 1}}, {}, {-h, -d, {-1, 0, 1}}, {h, -d, {1, 0, 1}},
    };
    auto expectHalf = [&](const Prim &p, unsigned char face) {
        SCOPED_TRACE(testing::Message() << "half " << (int)face);
        EXPECT_EQ(p.texture, names[face]);
        EXPECT_FALSE(p.normalSent);
        ASSERT_EQ(p.v.size(), 4u);
        int centre = 0, edge = 0;
        for (const Vertex &v : p.v) {
            centre += v.x == 0 && v.z == 0;
            edge += v.x == halves[face].x && v.z == halves[face].z;
        }
        EXPECT_EQ(centre, 2);
        EXPECT_EQ(edge, 2);
        EXPECT_GT(facing(p, halves[face].n), 0.0f);
    };
    allFaces(1, 0).crossed = 1;
    std::vector<Prim> prims = plot(1);
    ASSERT_EQ(prims.size(), 6u);
    for (int i = 0; i < 6; i++) {
        if (boxOrder[i] == TILE_TOP || boxOrder[i] == TILE_BOTTOM)
            expectBoxFace(prims[i], boxOrder[i]);
        else
            expectHalf(prims[i], boxOrder[i]);
    }
    // A wedge's caps take FRONT and BACK and its slope TOP: only the RIGHT
    // and LEFT halves of the cross remain.
    allFaces(2, 1).crossed = 1;
    prims = plot(2);
    ASSERT_EQ(prims.size(), 6u);
    expectHalf(prims[3], TILE_RIGHT);
    expectBoxFace(prims[4], TILE_BOTTOM);
    expectHalf(prims[5], TILE_LEFT);
}

TEST_F(TilePlot, SlantedQuadsWearTheirFixedFacesState)
{
    const float faces[8][3] = {{0, 1, 1}, {0, -1, 1}, {0, -1, -1}, {0, 1, -1},  // shapes 5..12
                               {1, 0, 1}, {-1, 0, 1}, {-1, 0, -1}, {1, 0, -1}};
    for (unsigned char shape = 5; shape <= 12; shape++) {
        SCOPED_TRACE(testing::Message() << "shape " << (int)shape);
        unsigned char own = shape <= 8 ? TILE_TOP : TILE_FRONT;
        CubeDef &def = allFaces(1, shape);
        memset(def.faceOn, 0, 6);
        memset(def.doubleSided, 0, 6);
        // Culling, picture and turn come from the chosen face, though it is off.
        def.doubleSided[own] = 1;
        def.orientation[own].rotate = 1;
        glEnable(GL_CULL_FACE);
        std::vector<Prim> prims = plot(1);
        ASSERT_EQ(prims.size(), 1u);
        const Prim &p = prims[0];
        EXPECT_EQ(p.mode, (GLenum)GL_QUADS);
        EXPECT_FALSE(p.normalSent || p.culling);
        EXPECT_EQ(p.texture, names[own]);
        EXPECT_EQ(uvs(p), (std::vector<float>{0, 1, 1, 1, 1, 0, 0, 0}));
        for (int i = 0; i < 12; i++)
            EXPECT_EQ(fabsf(xyz(p)[i]), i % 3 == 2 ? d : h) << i;
        EXPECT_GT(facing(p, faces[shape - 5]), 0.0f);
        def.faceOn[TILE_LEFT] = 1;  // the box stage follows as usual
        prims = plot(1);
        ASSERT_EQ(prims.size(), 2u);
        expectBoxFace(prims[1], TILE_LEFT);
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
        EXPECT_EQ(rec.prims[0].mode, (GLenum)GL_QUADS);
        EXPECT_EQ(xyz(rec.prims[0]), (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
        std::vector<float> want(uv, uv + 8);
        for (int i = 0; reverse && i < 4; i++)
            want[2 * i] = uv[6 - 2 * i], want[2 * i + 1] = uv[7 - 2 * i];
        EXPECT_EQ(uvs(rec.prims[0]), want);
    }
}

// ------------------------------------------------------------- the frame pass

TEST_F(TilePlot, APassVisitsTheBlockFarthestRowFirstReadingOnlyTheGrid)
{
    GLint depth = 0, depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    allFaces(4, 0);
    world(24, 23, 12, 4);
    tile_optTexture = 0;
    EXPECT_EQ(draw(20, 20, 70), "0->10\n");
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, depth);
    // Six faces a cell, BACK first: its first corner at (+h, +h, -d).
    ASSERT_EQ(rec.prims.size(), 21u * 21u * 10u * 6u);
    EXPECT_EQ(placed(0), (std::vector<float>{1, 1, -d}));
    EXPECT_EQ(placed(6), (std::vector<float>{3, 1, -d}));
    EXPECT_EQ(placed(6 * 21), (std::vector<float>{1, 3, -d}));
    EXPECT_EQ(placed(rec.prims.size() - 6), (std::vector<float>{41, 41, 63 - d}));
    // Empty cells are skipped.
    std::fill(cells.begin(), cells.end(), (unsigned char)TILE_EMPTY);
    cells[(2 * 12 + 3) * 24 + 1] = 4;  // x 1, layer 2, row 3
    EXPECT_EQ(draw(20, 20, 70), "0->10\n");
    ASSERT_EQ(rec.prims.size(), 6u);
    EXPECT_EQ(placed(0), (std::vector<float>{3, 5, 21 - d}));

    world(5, 5, 5, 4);
    for (float ez : {6.9f, -70.0f}) {  // an eye before row 1 draws no cube
        EXPECT_EQ(draw(4, 4, ez), "0->0\n") << ez;
        EXPECT_TRUE(rec.prims.empty());
    }
    draw(4, 4, 1e30f);  // over column 2 of 5, far along z: cells 0 to 3 each way
    EXPECT_EQ(rec.prims.size(), 4u * 4u * 4u * 6u);
    EXPECT_EQ(placed(rec.prims.size() - 6), (std::vector<float>{7, 7, 21 - d}));
    world(0, 5, 5, 4);  // an empty grid prints its line and never reads the map
    tile_map = reinterpret_cast<unsigned char *>(1);
    EXPECT_EQ(draw(4, 4, 70), "0->0\n");
    EXPECT_TRUE(rec.prims.empty());
    tile_map = nullptr;
}

TEST_F(TilePlot, TheBackdropFillsTheWindowWhileTexturing)
{
    world(3, 3, 3, TILE_EMPTY);
    EXPECT_EQ(draw(0, 0, 0), "0->0\n");
    ASSERT_EQ(rec.prims.size(), 1u);
    EXPECT_EQ(rec.prims[0].texture, names[6]);  // no background declared: the stand-by picture
    EXPECT_EQ(uvs(rec.prims[0]), plainUV);
    const float r = 640.0f / 480.0f;
    EXPECT_EQ(xyz(rec.prims[0]), (std::vector<float>{0, 0, 0, 0, 1, 0, r, 1, 0, r, 0, 0}));
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
