// test_tile_draw_geometry.cpp -- the primitives each cube shape sends, and the cells a frame visits
// The drawing code's immediate-mode calls are defined here: each is noted
// with the render state in force and forwarded to the real OpenGL context.
#include <dlfcn.h>

#include <algorithm>
#include <vector>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "test_support.h"
#include "tile.h"

namespace {

// What a primitive's glBegin found in force, and its corners.
struct Prim {
    GLenum mode;
    bool culling;
    GLuint texture;
    float normal[3], moved[3];   // the current normal; the modelview's translation
    std::vector<float> uv, xyz;  // s, t and x, y, z of each corner
};

float rec_s, rec_t;  // every primitive drawn is recorded
std::vector<Prim> rec_prims;

template <typename F>
F *realGl(F *, const char *name) { return reinterpret_cast<F *>(dlsym(RTLD_NEXT, name)); }
#define REAL(fn) (([]() { static auto p = realGl(&fn, #fn); return p; })())

const float h = 1.0f, d = 3.5f;

// The plane each box face lies on (axis, position) and its outward normal.
const struct { int axis; float at, n[3]; } planes[6] = {
    {2, -d, {0, 0, -1}}, {1, h, {0, 1, 0}},   {0, h, {1, 0, 0}},
    {1, -h, {0, -1, 0}}, {0, -h, {-1, 0, 0}}, {2, d, {0, 0, 1}},
};
const unsigned char boxOrder[6] = {TILE_BACK, TILE_FRONT, TILE_TOP, TILE_RIGHT, TILE_BOTTOM, TILE_LEFT};
const std::vector<float> plainUV = {0, 0, 0, 1, 1, 1, 1, 0};

// How far the polygon's winding (Newell's normal) points along n: positive
// when its corners run counter-clockwise seen from that side.
float facing(const Prim &p, const float n[3])
{
    float w[3] = {0, 0, 0};
    const size_t k = p.xyz.size() / 3;
    for (size_t i = 0; i < k; i++) {
        const float *a = &p.xyz[3 * i], *b = &p.xyz[3 * ((i + 1) % k)];
        for (int c = 0; c < 3; c++)
            w[c] += (a[(c + 1) % 3] - b[(c + 1) % 3]) * (a[(c + 2) % 3] + b[(c + 2) % 3]);
    }
    return w[0] * n[0] + w[1] * n[1] + w[2] * n[2];
}

GLuint names[7];  // names[f] for face f, names[6] the stand-by picture

class TilePlot : public ::testing::Test {
protected:
    TextureEntry entries[6] = {};

    void SetUp() override
    {
        REQUIRE_GL();
        if (!names[0])
            glGenTextures(7, names);
        for (int i = 0; i < 6; i++)
            entries[i].image = Image{32, 32, 0, 32, 32, names[i]};
        tile_matrix = tile_dummy = Image{4, 4, 0, 4, 4, names[6]};
        tile_optTexture = tile_optSmooth = 1;
    }

    // A type with every face on and double-sided, or neither, each with its own picture.
    CubeDef &allFaces(unsigned char type, unsigned char shape, unsigned char on = 1)
    {
        CubeDef &def = tile[type] = CubeDef{};
        def.shape = shape;
        for (int f = 0; f < 6; f++) {
            def.faceOn[f] = def.doubleSided[f] = on;
            def.faceTexture[f] = &entries[f];
        }
        return def;
    }

    template <typename F>
    static std::vector<Prim> record(F draw)
    {
        rec_prims.clear();
        draw();
        return rec_prims;
    }
    static std::vector<Prim> plot(unsigned char type) { return record([=] { tile_plot(type, 0, 0, 0); }); }

    // A full square on the face's plane, wound outwards, with its normal.
    void expectBoxFace(const Prim &p, unsigned char face, GLuint texture = 0)
    {
        SCOPED_TRACE(testing::Message() << "face " << (int)face);
        EXPECT_EQ(p.mode, (GLenum)GL_QUADS);
        EXPECT_EQ(p.texture, texture ? texture : names[face]);
        ASSERT_EQ(p.xyz.size(), 12u);
        for (int i = 0; i < 4; i++)
            EXPECT_FLOAT_EQ(p.xyz[3 * i + planes[face].axis], planes[face].at);
        EXPECT_EQ(p.uv, plainUV);
        EXPECT_GT(facing(p, planes[face].n), 0.0f) << "wound inwards";
        EXPECT_EQ(std::vector<float>(p.normal, p.normal + 3),
                  std::vector<float>(planes[face].n, planes[face].n + 3));
    }
};

TEST_F(TilePlot, ABoxSendsSixSquaresInItsOrderCullingByFace)
{
    CubeDef &def = allFaces(1, 0);
    def.doubleSided[TILE_TOP] = def.doubleSided[TILE_LEFT] = def.doubleSided[TILE_FRONT] = 0;
    glEnable(GL_CULL_FACE);
    std::vector<Prim> prims = plot(1);
    ASSERT_EQ(prims.size(), 6u);
    for (int i = 0; i < 6; i++) {
        expectBoxFace(prims[i], boxOrder[i]);
        EXPECT_EQ(prims[i].culling, !def.doubleSided[boxOrder[i]]) << "face " << (int)boxOrder[i];
    }
    EXPECT_EQ(prims[1].xyz, (std::vector<float>{-1, 1, d, -1, -1, d, 1, -1, d, 1, 1, d}));
    allFaces(2, 13);  // drawn as the box
    std::vector<Prim> other = plot(2);
    ASSERT_EQ(other.size(), 6u);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(other[i].xyz, prims[i].xyz);
}

TEST_F(TilePlot, WedgesReplaceTheirFaceAndCapTheEnds)
{
    const float keep[4][2] = {{-h, -h}, {-h, h}, {h, h}, {h, -h}};  // the corner each shape keeps
    allFaces(2, 0);
    const std::vector<Prim> squares = plot(2);
    for (unsigned char shape = 1; shape <= 4; shape++) {
        SCOPED_TRACE(testing::Message() << "shape " << (int)shape);
        allFaces(1, shape);
        std::vector<Prim> prims = plot(1);
        ASSERT_EQ(prims.size(), 6u);  // slope, FRONT cap, BACK cap, three box faces
        const float *k = keep[shape - 1], away[3] = {-k[0], -k[1], 0};
        EXPECT_EQ(prims[0].mode, (GLenum)GL_QUADS);
        EXPECT_EQ(prims[0].texture, names[shape]);
        EXPECT_EQ(prims[0].uv, plainUV);
        EXPECT_GT(facing(prims[0], away), 0.0f);
        for (unsigned char face : {TILE_FRONT, TILE_BACK}) {
            // Each cap covers the kept corner and shows its triangle of the full square's picture.
            const Prim &cap = prims[face == TILE_FRONT ? 1 : 2], &square = squares[face == TILE_FRONT];
            EXPECT_EQ(cap.mode, (GLenum)GL_TRIANGLES);
            EXPECT_EQ(cap.texture, names[face]);
            EXPECT_GT(facing(cap, planes[face].n), 0.0f);
            ASSERT_EQ(cap.xyz.size(), 9u);
            bool corner = false;
            for (size_t i = 0, j; i < 3; i++) {
                const float *v = &cap.xyz[3 * i];
                for (j = 0; j < 4 && !std::equal(v, v + 3, &square.xyz[3 * j]); j++) {}
                ASSERT_LT(j, 4u);
                EXPECT_EQ(cap.uv[2 * i] * 2 + cap.uv[2 * i + 1], square.uv[2 * j] * 2 + square.uv[2 * j + 1]);
                corner |= v[0] == k[0] && v[1] == k[1];
            }
            EXPECT_TRUE(corner);
        }
        int n = 3;
        for (unsigned char f : boxOrder)
            if (f != shape && f != TILE_FRONT && f != TILE_BACK)
                expectBoxFace(prims[n++], f);
    }
    // A cap without a picture leaves the full square, with the stand-by picture.
    allFaces(1, 2).faceTexture[TILE_BACK] = nullptr;
    std::vector<Prim> prims = plot(1);
    ASSERT_EQ(prims.size(), 6u);  // slope, FRONT cap, BACK square, TOP, BOTTOM, LEFT
    expectBoxFace(prims[2], TILE_BACK, names[6]);
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
        ASSERT_EQ(p.xyz.size(), 12u);
        int onLines = 0;  // two corners on the centre line (1 each), two on the outer edge (4 each)
        for (size_t i = 0; i < 12; i += 3)
            onLines += (p.xyz[i] == 0 && p.xyz[i + 2] == 0) + 4 * (p.xyz[i] == halves[face].x && p.xyz[i + 2] == halves[face].z);
        EXPECT_EQ(onLines, 10);
        EXPECT_GT(facing(p, halves[face].n), 0.0f);
    };
    allFaces(1, 0).crossed = 1;
    std::vector<Prim> prims = plot(1);
    ASSERT_EQ(prims.size(), 6u);
    for (int i = 0; i < 6; i++)
        boxOrder[i] == TILE_TOP || boxOrder[i] == TILE_BOTTOM ? expectBoxFace(prims[i], boxOrder[i])
                                                              : expectHalf(prims[i], boxOrder[i]);
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
        CubeDef &def = allFaces(1, shape, 0);
        // Culling, picture and turn come from the chosen face, though it is off.
        def.doubleSided[own] = 1;
        def.orientation[own].rotate = 1;
        glEnable(GL_CULL_FACE);
        std::vector<Prim> prims = plot(1);
        ASSERT_EQ(prims.size(), 1u);
        EXPECT_FALSE(prims[0].culling);
        EXPECT_EQ(prims[0].texture, names[own]);
        EXPECT_EQ(prims[0].uv, (std::vector<float>{0, 1, 1, 1, 1, 0, 0, 0}));
        EXPECT_GT(facing(prims[0], faces[shape - 5]), 0.0f);
    }
}

TEST_F(TilePlot, APassDrawsTheBlockBeforeTheEyeAndPrintsItsRows)
{
    allFaces(4, 0);
    std::vector<unsigned char> cells(24 * 23 * 12, 4);
    tile_map = cells.data();
    tile_width = 24, tile_height = 23, tile_depth = 12;
    tile_optTexture = 0;  // no backdrop
    glLoadIdentity();
    for (float ez : {6.9f, -70.0f, 70.0f}) {  // an eye before row 1 draws no cube
        testing::internal::CaptureStdout();
        record([=] { tile_draw(20, 20, ez); });
        EXPECT_EQ(testing::internal::GetCapturedStdout(), ez > 7 ? "0->10\n" : "0->0\n") << ez;
        EXPECT_EQ(rec_prims.empty(), ez < 7) << ez;
    }
    // Columns and layers 0 to 20, rows 0 to 9, six faces a cell, the first BACK corner at (+h, +h, -d).
    ASSERT_EQ(rec_prims.size(), 21u * 21u * 10u * 6u);
    for (size_t p : {(size_t)0, rec_prims.size() - 6})  // the last cell drawn: column and layer 20, row 9
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(rec_prims[p].moved[c] + rec_prims[p].xyz[c], p ? (c < 2 ? 41 : 63 - d) : (c < 2 ? 1 : -d)) << p;
}

}  // namespace

extern "C" {

void glBegin(GLenum mode)
{
    GLint name = 0;
    GLfloat m[16];
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    rec_prims.push_back(Prim{mode, glIsEnabled(GL_CULL_FACE) == GL_TRUE, (GLuint)name, {}, {m[12], m[13], m[14]}, {}, {}});
    glGetFloatv(GL_CURRENT_NORMAL, rec_prims.back().normal);
    REAL(glBegin)(mode);
}

void glTexCoord2f(GLfloat s, GLfloat t) { rec_s = s, rec_t = t; REAL(glTexCoord2f)(s, t); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (!rec_prims.empty()) {
        rec_prims.back().uv.insert(rec_prims.back().uv.end(), {rec_s, rec_t});
        rec_prims.back().xyz.insert(rec_prims.back().xyz.end(), {x, y, z});
    }
    REAL(glVertex3f)(x, y, z);
}

}  // extern "C"
