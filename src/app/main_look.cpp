// main_look.cpp -- free look: a pose of heading and tilt, turned by the mouse, flown along the view
#include "main.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "camera.h"
#include "input.h"
#include "tile.h"

unsigned char main_looking;
int main_view = MAIN_VIEW_DEFAULT;

// Degrees: the heading turns left from -z about +y, the tilt looks up.
static float main_heading, main_tilt;

static const float MAIN_TILT_MOST = 85.0f;   // short of straight up and down: the view never flips
static const float MAIN_DEGREES_A_PIXEL = 0.2f;
static const float MAIN_RADIANS = 3.14159265f / 180.0f;

// The camera's axes from heading and tilt: left stays level, so the pose
// is orthonormal and never rolls.
static void main_lookPose(void)
{
    float h = main_heading * MAIN_RADIANS, t = main_tilt * MAIN_RADIANS;
    Vector f = {-sinf(h) * cosf(t), sinf(t), -cosf(h) * cosf(t)};
    Vector l = {-cosf(h), 0.0f, sinf(h)};
    camera.forward = f;
    camera.left = l;
    camera.up = Vector{f.y * l.z - f.z * l.y, f.z * l.x - f.x * l.z, f.x * l.y - f.y * l.x};
}

// The pose free look was entered from, and its heading and tilt then:
// leaving with neither changed and the camera not flown gives it back as
// it was, roll and all.
static Entity main_lookEntry;
static float main_entryHeading, main_entryTilt;

// Heading and tilt of the pose as it is; a roll is dropped.  A view
// straight up or down takes its heading from the up vector, which then
// lies level: looking up, up points back from the heading; looking down,
// along it.
void main_lookBegin(void)
{
    const Vector &f = camera.forward, &u = camera.up;
    float y = f.y > 1.0f ? 1.0f : f.y < -1.0f ? -1.0f : f.y;
    float hx = -f.x, hz = -f.z;
    if (fabsf(f.x) < 1e-6f && fabsf(f.z) < 1e-6f) {
        float back = f.y > 0.0f ? 1.0f : -1.0f;
        hx = back * u.x, hz = back * u.z;
    }
    main_heading = (hx == 0.0f && hz == 0.0f) ? 0.0f : atan2f(hx, hz) / MAIN_RADIANS;
    main_tilt = asinf(y) / MAIN_RADIANS;
    if (!(main_tilt <= MAIN_TILT_MOST))  // NaN too
        main_tilt = main_tilt > 0.0f ? MAIN_TILT_MOST : 0.0f;
    if (main_tilt < -MAIN_TILT_MOST)
        main_tilt = -MAIN_TILT_MOST;
    if (!isfinite(main_heading))
        main_heading = 0.0f;
    main_lookEntry = camera;
    main_entryHeading = main_heading;
    main_entryTilt = main_tilt;
    main_lookPose();
    // A level pose free look draws as it is keeps its very bytes, so a
    // start in free look saves back the file it read.
    const Vector *was[3] = {&main_lookEntry.left, &main_lookEntry.up, &main_lookEntry.forward};
    const Vector *now[3] = {&camera.left, &camera.up, &camera.forward};
    bool same = true;
    for (int i = 0; i < 3; i++)
        same = same && fabsf(was[i]->x - now[i]->x) < 1e-5f && fabsf(was[i]->y - now[i]->y) < 1e-5f &&
               fabsf(was[i]->z - now[i]->z) < 1e-5f;
    if (same)
        camera = main_lookEntry;
}

void main_lookToggle(void)
{
    main_looking = !main_looking;
    if (main_looking) {
        main_lookBegin();
        return;
    }
    // Otherwise the free pose is orthonormal as it stands: the other mode flies on from it.
    if (main_heading == main_entryHeading && main_tilt == main_entryTilt &&
        memcmp(&camera.position, &main_lookEntry.position, sizeof camera.position) == 0)
        camera = main_lookEntry;
}

void main_lookTurn(float degrees)
{
    main_heading = fmodf(main_heading + degrees, 360.0f);
    main_lookPose();
}

void main_lookControl(int tick)
{
    // No motion leaves the pose as it is, to the bit.
    if (tick > 10 && (mouse_motionX() != 0 || mouse_motionY() != 0)) {
        float degrees = MAIN_DEGREES_A_PIXEL * main_sensitivity;
        main_heading = fmodf(main_heading - (float)mouse_motionX() * degrees, 360.0f);
        main_tilt += (float)mouse_motionY() * (main_invert ? degrees : -degrees);
        main_tilt = main_tilt > MAIN_TILT_MOST ? MAIN_TILT_MOST
                    : main_tilt < -MAIN_TILT_MOST ? -MAIN_TILT_MOST : main_tilt;
        main_lookPose();
    }
    // While building the buttons build, and two keys rise and sink instead.
    if (main_building ? input_check(MAIN_KEY_RISE) : mouse_check(0))
        camera.position.y += 1.0f;
    if (main_building ? input_check(MAIN_KEY_SINK) : mouse_check(2))
        camera.position.y -= 1.0f;
    if (input_check('w') || input_check(MAIN_ARROW_UP))
        entity_move(&camera, 1.0f);
    if (input_check('s') || input_check(MAIN_ARROW_DOWN))
        entity_move(&camera, -1.0f);
    if (input_check('a') || input_check(MAIN_ARROW_LEFT))
        entity_strafe(&camera, 1.0f);
    if (input_check('d') || input_check(MAIN_ARROW_RIGHT))
        entity_strafe(&camera, -1.0f);
}

std::string main_viewCheck(const char *text)
{
    int kept = main_view, fits = main_parseView(text);
    main_view = kept;
    if (fits)
        return "";
    return std::string("'") + text + "': the view distance must be " + std::to_string(MAIN_VIEW_LEAST) +
           " to " + std::to_string(MAIN_VIEW_MOST) + " cells";
}

int main_parseView(const char *text)
{
    char *end = nullptr;
    long n = strtol(text, &end, 10);
    if (end == text || *end || n < MAIN_VIEW_LEAST || n > MAIN_VIEW_MOST)
        return 0;
    main_view = (int)n;
    return 1;
}
