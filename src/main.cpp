// main.cpp -- start-up, the window, the fixed render state and the frame
#include "main.h"

#include <stdio.h>
#include <stdlib.h>
#include <GL/freeglut.h>
#include <GL/glu.h>

#include "camera.h"
#include "input.h"
#include "texture.h"
#include "tile.h"

Entity camera;
float PW, PH;

void main_init(void)
{
    input_unlockAll();
    texture_smooth(1);
    tile_load();
    camera = tile_temp;
    tile_optSmooth = 1;
    tile_optAlpha = 1;
    tile_optTexture = 1;
}

void main_resize(int width, int height)
{
    if (height == 0)
        height = 1;
    PW = (float)width;
    PH = (float)height;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, width, height);
    gluPerspective(45.0, PW / PH, 1.0, 4000.0);
    glMatrixMode(GL_MODELVIEW);
}

void main_render(void)
{
    glClearColor(255.0f, 255.0f, 255.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    camera_lookFrom(&camera);
    tile_draw(camera.position.x, camera.position.y, camera.position.z);
    glutSwapBuffers();
}

void camera_left(void) {}
void camera_right(void) {}

void main_timer(int tick)
{
    glutPostRedisplay();
    if (input_check(27))
        exit(0);
    glutTimerFunc(20, main_timer, tick + 1);
}

void main_renderState(void)
{
    const GLfloat ambient[] = {0.019f, 0.019f, 0.019f, 0.0f};
    const GLfloat diffuse[] = {0.8f, 0.8f, 0.8f, 0.0f};
    const GLfloat position[] = {0.0f, 0.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT1, GL_POSITION, position);
    glEnable(GL_LIGHT1);

    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_COLOR_MATERIAL);
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glAlphaFunc(GL_GREATER, 0.0f);
    glEnable(GL_ALPHA_TEST);
}

int main_run(int argc, char **argv)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(160, 208);
    glutInitWindowSize(640, 480);
    glutCreateWindow("Tavo v3.1");
    if (argc > 1)
        tile_argument = argv[argc - 1];
    main_init();

    glutDisplayFunc(main_render);
    glutReshapeFunc(main_resize);
    glutMouseFunc(input_mouse);
    glutMotionFunc(mouse_move);
    glutPassiveMotionFunc(mouse_move);
    glutKeyboardFunc(input_pressKey);
    glutKeyboardUpFunc(input_releaseKey);
    glutSpecialFunc(input_pressSKey);
    glutSpecialUpFunc(input_releaseSKey);
    glutTimerFunc(0, main_timer, 0);
    glutSetCursor(GLUT_CURSOR_NONE);

    main_renderState();

    glutMainLoop();
    printf("quit");
    return 0;
}
