// test_tile_draw.cpp -- the drawn block, face texturing, the recorded faces of each cube shape, hidden faces, and frames
#include <math.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "camera.h"
#include "main.h"
#include "test_support.h"
#include "texture.h"
#include "tile.h"

namespace {

TEST(TileBlock, TheCellsAroundTheEyeStayInsideTheGrid)
{
    const struct { float ex, ey, ez; unsigned w, h, d; std::vector<int> block; } cases[] = {
        {20, 20, 70, 22, 22, 11, {0, 21, 0, 21, 0, 10}},  // 21 columns and layers, 10 rows before the eye
        {70, 70, 7000, 30, 30, 30, {25, 29, 25, 29, 8, 29}},  // the last column, layer and row never drawn
        {0, 0, 1e6f, 3, 4, 5, {0, 2, 0, 3, 0, 4}},  // each side ends at its own last index
        // Damaged positions clamp: huge or infinite ones to the last index, NaN and below 0 to the low end.
        {1e30f, 1e30f, 1e30f, 22, 22, 11, {21, 21, 21, 21, 0, 10}},
        {INFINITY, -INFINITY, INFINITY, 22, 22, 11, {21, 21, 0, 21, 0, 10}},
        {NAN, NAN, NAN, 22, 22, 11, {0, 21, 0, 21, 0, 0}},
        {-50, -50, -70, 22, 22, 11, {0, 21, 0, 21, 0, 0}},
        {20, 20, 70, 0, 22, 11, {0, 0, 0, 0, 0, 0}},  // an empty grid draws nothing
    };
    for (const auto &c : cases) {
        TileBlock b;
        tile_block(c.ex, c.ey, c.ez, c.w, c.h, c.d, 2, 7, &b);
        EXPECT_EQ((std::vector<int>{b.x0, b.x1, b.y0, b.y1, b.z0, b.z1}), c.block)
            << "eye " << c.ex << "," << c.ey << "," << c.ez << " grid " << c.w << "x" << c.h << "x" << c.d;
    }
}

// How far the nearest filled cell lies, counted as free look's view
// distance is (the largest of the three axes): found on a shell's face
// rows and on the two ends of its other rows, from inside and outside the
// grid; and whether a block holds one.
TEST(TilePick, TheNearestFilledCellAndWhetherABlockHoldsOne)
{
    const unsigned w = 6, h = 4, d = 5;
    std::vector<unsigned char> cells(w * h * d, TILE_EMPTY), none = cells;
    cells[(0 * d + 1) * w + 4] = 1;  // x 4, y 0, z 1
    cells[(3 * d + 4) * w + 0] = 2;  // x 0, y 3, z 4
    const struct { TileCell eye; long nearest; } cases[] = {
        {{4, 0, 1}, 0}, {{2, 0, 1}, 2}, {{0, 3, 2}, 2}, {{2, 1, 1}, 2}, {{1, 2, 3}, 1},
        {{-10, 0, 1}, 10}, {{100, -50, 200}, 196},
    };
    for (const auto &c : cases)
        EXPECT_EQ(tile_nearestFilled(&c.eye, w, h, d, cells.data()), c.nearest)
            << c.eye.x << "," << c.eye.y << "," << c.eye.z;
    TileCell origin = {0, 0, 0};
    EXPECT_EQ(tile_nearestFilled(&origin, w, h, d, none.data()), -1);
    EXPECT_EQ(tile_nearestFilled(&origin, 0, h, d, cells.data()), -1);

    const struct { TileBlock block; bool filled; } blocks[] = {
        {{0, 6, 0, 4, 0, 5}, true}, {{4, 5, 0, 1, 1, 2}, true}, {{0, 4, 0, 3, 0, 5}, false}, {{2, 2, 0, 4, 0, 5}, false},
    };
    for (const auto &b : blocks)
        EXPECT_EQ(tile_blockFilled(&b.block, w, d, cells.data()), b.filled) << b.block.x0 << ".." << b.block.x1;
}

// A recorded face, the state it is drawn in, and its corners.
struct Prim {
    GLenum mode;
    bool culling;
    GLuint texture;
    std::vector<float> uv, xyz;  // s, t and x, y, z of each corner
};

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

GLuint names[8];  // names[f] for face f, names[6] the stand-by picture, names[7] the matrix one

class TileDraw : public ::testing::Test {
protected:
    TextureEntry entries[6] = {};

    void SetUp() override
    {
        REQUIRE_GL();
        if (!names[0])
            glGenTextures(8, names);
        memset(tile, 0, sizeof tile);
        for (int i = 0; i < 6; i++)
            entries[i].image = Image{32, 32, 0, 32, 32, names[i], {}};
        tile_dummy = Image{4, 4, 0, 4, 4, names[6], {}};
        tile_matrix = Image{4, 4, 0, 4, 4, names[7], {}};
        tile_optTexture = tile_optSmooth = 1;
        tile_generation++;  // the cube table was rewritten
    }

    // Textures the face and checks the binding, shade, opacity and corners.
    void expectFace(unsigned char type, unsigned char face, unsigned x, unsigned y, unsigned z,
                    GLuint name, int shade, int alpha, std::vector<float> uv)
    {
        tile_setTexture(type, face, x, y, z);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ((std::vector<int>{bound, texture_getRed(), texture_getBlue(), texture_getAlpha()}),
                  (std::vector<int>{(int)name, shade, shade, alpha}));
        EXPECT_EQ(std::vector<float>(tile_uv, tile_uv + 8), uv);
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

    // One cell's recorded faces: each face's own picture makes it a run of its own.
    static std::vector<Prim> plot(unsigned char type)
    {
        std::vector<unsigned char> cells(8, TILE_EMPTY);
        cells[0] = type;
        tile_map = cells.data(), tile_width = tile_height = tile_depth = 2;
        const TileBlock b{0, 1, 0, 1, 0, 1};
        tile_record(&b, &tile_faces);
        std::vector<Prim> prims;
        for (const TileRun &r : tile_faces.runs) {
            prims.push_back(Prim{r.mode, !r.cull, r.image->textureId, {}, {}});
            for (size_t i = 0; i < r.vertices.size(); i++)  // x, y, z, s, t of each corner
                (i % 5 < 3 ? prims.back().xyz : prims.back().uv).push_back(r.vertices[i]);
        }
        tile_map = nullptr;
        return prims;
    }

    // A full square on the face's plane, wound outwards.
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
    }
};

TEST_F(TileDraw, TurnAndMirrorGiveTheEightCornerLayouts)
{
    const struct { unsigned char rotate, flipH, flipV; std::vector<float> uv; } cases[] = {
        {0, 0, 0, {0, 0, 0, 1, 1, 1, 1, 0}}, {0, 1, 0, {1, 0, 1, 1, 0, 1, 0, 0}},
        {0, 0, 1, {0, 1, 0, 0, 1, 0, 1, 1}}, {0, 1, 1, {1, 1, 1, 0, 0, 0, 0, 1}},
        {1, 0, 0, {0, 1, 1, 1, 1, 0, 0, 0}}, {1, 1, 0, {1, 1, 0, 1, 0, 0, 1, 0}},
        {1, 0, 1, {0, 0, 1, 0, 1, 1, 0, 1}}, {1, 1, 1, {1, 0, 0, 0, 0, 1, 1, 1}},
    };
    tile[7].faceTexture[TILE_RIGHT] = &entries[0];
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        tile[7].orientation[TILE_RIGHT] = FaceOrientation{c.flipH, c.flipV, c.rotate};
        expectFace(7, TILE_RIGHT, 0, 0, 0, names[0], 255, 255, c.uv);
    }
}

TEST_F(TileDraw, FacesTakeShadeOpacityScaleAndCheckerFromTheirPicture)
{
    CubeDef &def = tile[3];
    def.checkered = 1;
    def.faceTexture[TILE_TOP] = &entries[1];
    entries[1].image = Image{20, 12, 0, 32, 16, names[1], {}};  // s scaled by 0.625, t by 0.75
    def.shaded[TILE_TOP] = entries[1].translucent = 1;
    def.orientation[TILE_TOP] = FaceOrientation{1, 0, 1};  // scaling follows turn and mirror
    def.faceTexture[TILE_BOTTOM] = &entries[2];
    entries[2].image = Image{0, 0, 0, 0, 0, names[2], {}};  // never filled: unscaled, not divided by zero
    const std::vector<float> turned = {1, 1, 0, 1, 0, 0, 1, 0};
    expectFace(3, TILE_TOP, 1, 2, 4, names[1], 127, 127, {0.625f, 0.75f, 0, 0.75f, 0, 0, 0.625f, 0});
    // Even cells of a checkered type: BOTTOM's picture, shade, opacity and scale, in TOP's turn.
    expectFace(3, TILE_TOP, 1, 2, 3, names[2], 255, 255, turned);
    // Pictures with an alpha channel are never smoothed; the others follow the option.
    for (int alpha : {0, 1}) {  // ends sharp, for the texturing-off check below
        entries[1].image.hasAlpha = (unsigned char)alpha;
        tile_setTexture(3, TILE_TOP, 1, 2, 4);
        EXPECT_EQ(texture_getSmooth(), !alpha);
    }
    // Texturing off: the matrix picture, smoothed, unscaled, shaded but opaque.
    tile_optTexture = tile_optSmooth = 0;
    expectFace(3, TILE_TOP, 1, 2, 4, names[7], 127, 255, turned);
    EXPECT_TRUE(texture_getSmooth());
}

TEST_F(TileDraw, ABoxSendsSixSquaresInItsOrderCullingByFace)
{
    for (unsigned char shape : {0, 13}) {  // shapes past the last are drawn as the box
        SCOPED_TRACE(testing::Message() << "shape " << (int)shape);
        CubeDef &def = allFaces(1, shape);
        def.doubleSided[TILE_TOP] = def.doubleSided[TILE_LEFT] = def.doubleSided[TILE_FRONT] = 0;
        std::vector<Prim> prims = plot(1);
        ASSERT_EQ(prims.size(), 6u);
        for (int i = 0; i < 6; i++) {
            expectBoxFace(prims[i], boxOrder[i]);
            EXPECT_EQ(prims[i].culling, !def.doubleSided[boxOrder[i]]) << "face " << (int)boxOrder[i];
        }
        EXPECT_EQ(prims[1].xyz, (std::vector<float>{-1, 1, d, -1, -1, d, 1, -1, d, 1, 1, d}));
    }
}

TEST_F(TileDraw, WedgesReplaceTheirFaceAndCapTheEnds)
{
    const float keep[4][2] = {{-h, -h}, {-h, h}, {h, h}, {h, -h}};  // the corner each shape keeps
    // The corners of the full FRONT and BACK squares each cap keeps, in their order.
    const int caps[4][2][3] = {{{0, 1, 2}, {1, 2, 3}}, {{0, 1, 3}, {0, 2, 3}},
                               {{0, 2, 3}, {0, 1, 3}}, {{1, 2, 3}, {0, 1, 2}}};
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
            const Prim &cap = prims[face == TILE_FRONT ? 1 : 2], &square = squares[face == TILE_FRONT];
            Prim want{GL_TRIANGLES, cap.culling, names[face], {}, {}};
            for (int c : caps[shape - 1][face == TILE_BACK]) {
                want.xyz.insert(want.xyz.end(), &square.xyz[3 * c], &square.xyz[3 * c + 3]);
                want.uv.insert(want.uv.end(), &square.uv[2 * c], &square.uv[2 * c + 2]);
            }
            EXPECT_TRUE(cap.mode == want.mode && cap.texture == want.texture && cap.xyz == want.xyz &&
                        cap.uv == want.uv) << (int)face;
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

TEST_F(TileDraw, CrossedTypesDrawHalfPlanesThroughTheCentreLine)
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

TEST_F(TileDraw, SlantedQuadsWearTheirFixedFacesState)
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
        std::vector<Prim> prims = plot(1);
        ASSERT_EQ(prims.size(), 1u);
        EXPECT_FALSE(prims[0].culling);
        EXPECT_EQ(prims[0].texture, names[own]);
        EXPECT_EQ(prims[0].uv, (std::vector<float>{0, 1, 1, 1, 1, 0, 0, 0}));
        EXPECT_GT(facing(prims[0], faces[shape - 5]), 0.0f);
    }
}

TEST_F(TileDraw, APassPrintsItsRowsAndLeavesOutOnlyFacesSolidCellsShare)
{
    allFaces(4, 0);
    std::vector<unsigned char> cells(24 * 23 * 12, 4);
    tile_map = cells.data();
    tile_width = 24, tile_height = 23, tile_depth = 12;
    tile_optTexture = 0;  // no backdrop
    for (float ez : {6.9f, -70.0f, 70.0f}) {  // an eye before row 1 draws no cube
        testing::internal::CaptureStdout();
        tile_draw(20, 20, ez);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), ez > 7 ? "0->10\n" : "0->0\n") << ez;
        EXPECT_EQ(tile_faces.faces == 0, ez < 7) << ez;
    }
    const long boundary = 2 * (21 * 21 + 21 * 10 + 21 * 10);  // all solid: the 21 x 21 x 10 block's outside
    EXPECT_EQ(tile_faces.faces, boundary);
    // Drawn nearest first: no face's centre (halfway between opposite corners)
    // lies more than a row nearer the eye's cell (10, 10, 10) than any before.
    float farthest = 0;
    int outOfOrder = 0;
    for (const ::TileDraw &draw : tile_faces.draws)
        for (int f = draw.first; f < draw.first + draw.count; f += 4) {
            const float *v = &tile_faces.runs[draw.run].vertices[(size_t)f * 5], e = 10.5f * tile_size;
            float at = hypotf(hypotf((v[0] + v[10]) / 2 - e, (v[1] + v[11]) / 2 - e), (v[2] + v[12]) / 2 - 10.5f * tile_sizeZ);
            outOfOrder += at < farthest - std::max(tile_size, tile_sizeZ);
            farthest = std::max(farthest, at);
        }
    EXPECT_EQ(outOfOrder, 0);
    // One cell inside made as each case says, with its own pictures: unless
    // it is solid too, its six neighbours keep the faces they share with it.
    const struct { const char *what; void (*make)(CubeDef &, TextureEntry *); int own; } cases[] = {
        {"solid", [](CubeDef &, TextureEntry *) {}, -6},
        {"cut out", [](CubeDef &, TextureEntry *e) { e[TILE_TOP].image.hasAlpha = 1; }, 6},
        {"translucent", [](CubeDef &, TextureEntry *e) { e[TILE_BACK].translucent = 1; }, 6},
        {"crossed", [](CubeDef &def, TextureEntry *) { def.crossed = 1; }, 6},
        {"wedge", [](CubeDef &def, TextureEntry *) { def.shape = 3; }, 6},
        {"slant", [](CubeDef &def, TextureEntry *) { def.shape = 9; }, 7},
        {"lacks a face", [](CubeDef &def, TextureEntry *) { def.faceOn[TILE_FRONT] = 0; }, 5},
    };
    cells[(5 * 12 + 5) * 24 + 5] = 5;
    for (const auto &c : cases) {
        TextureEntry own[6];
        CubeDef &def = allFaces(5, 0);
        for (int f = 0; f < 6; f++)
            def.faceTexture[f] = &(own[f] = entries[f]);
        c.make(def, own);
        const TileBlock b{0, 21, 0, 21, 0, 10};
        tile_record(&b, &tile_faces);
        EXPECT_EQ(tile_faces.faces, boundary + 6 + c.own) << c.what;
    }
    tile_map = nullptr;
}

// Draws one frame through the display callback and checks the colour at
// window pixel (x, y), counted from the bottom left.
void expectPixel(int x, int y, int r, int g, int b)
{
    std::fill(test_shownFrame.begin(), test_shownFrame.end(), 7);
    testing::internal::CaptureStdout();
    main_render();
    testing::internal::GetCapturedStdout();
    const unsigned char *p = &test_shownFrame[((size_t)y * 640 + (size_t)x) * 3];
    EXPECT_NEAR(p[0], r, 3) << x << "," << y;
    EXPECT_NEAR(p[1], g, 3) << x << "," << y;
    EXPECT_NEAR(p[2], b, 3) << x << "," << y;
}

TEST_F(TileDraw, FramesShowTheFaceOverTheBackdrop)
{
    main_renderState();
    // A single cube at the origin; the grid's last column, layer and row
    // are never drawn, so the grid is one larger each way.
    std::vector<unsigned char> cells(15 * 2 * 3, TILE_EMPTY);
    cells[0] = 254;
    image_create(&tile_dummy, 32, 32, 0, 0, 255);       // the backdrop: blue
    image_create(&tile_matrix, 32, 32, 0, 255, 0);      // texturing off: green
    image_create(&entries[0].image, 32, 32, 254, 0, 0);  // the face: red
    image_create(&entries[1].image, 32, 32, 0, 254, 0);  // glass: green
    tile_map = cells.data();
    tile_width = 15, tile_height = 2, tile_depth = 3;
    tile[254].faceOn[TILE_FRONT] = 1;
    tile[254].faceTexture[TILE_FRONT] = &entries[0];
    tile_optAlpha = 1;
    // Two cells back from the cube, looking at its FRONT face along -z.
    camera = Entity{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 14}};

    expectPixel(320, 240, 254, 0, 0);
    // Each change below shows in the next frame: the faces are built again
    // for a new world (as loading one counts it), an option, a new block.
    entries[0].translucent = 1;  // half-opaque red over the blue backdrop
    tile_generation++;
    expectPixel(320, 240, 127, 0, 128);
    // Texturing off: the clear colour and the matrix picture, opaque.
    tile_optTexture = 0;
    expectPixel(5, 5, 255, 255, 255);
    expectPixel(320, 240, 0, 255, 0);
    camera.position.z = 6.9f;  // into the cube's row, which is not drawn
    expectPixel(320, 240, 255, 255, 255);

    // Glass on a cube's LEFT side before an opaque face the walk reaches
    // later, seen along +x: the red shows through, unless the walk is direct.
    // The glass is also the first face recorded and, past the middle of the
    // drawn block, the nearer: only drawing it last shows the red.
    cells[0] = TILE_EMPTY, cells[12] = 253, cells[13] = 254;
    tile[254].faceOn[TILE_LEFT] = tile[253].faceOn[TILE_LEFT] = 1;
    tile[253].faceTexture[TILE_LEFT] = &entries[1];
    tile[254].faceTexture[TILE_LEFT] = &entries[0];
    entries[0].translucent = 0, entries[1].translucent = 1;
    tile_optTexture = 1;
    tile_generation++;
    camera = Entity{{-0.6f, 0, -0.8f}, {0, 1, 0}, {0.8f, 0, -0.6f}, {15, 0, 7.5f}};
    expectPixel(320, 240, 127, 127, 0);
    tile_direct = 1;
    expectPixel(320, 240, 0, 127, 128);
    tile_direct = 0;
    tile_map = nullptr;
    for (Image *image : {&tile_dummy, &tile_matrix, &entries[0].image, &entries[1].image})
        image_destroy(image);
}

}  // namespace
