// tavo_cam.cpp -- tavo-cam: a camera pose as text, to and from the 48-byte camera file
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "pcx_encode.h"

static const char *cam_usage =
    "usage: tavo-cam POSE.txt OUT.cam     write a camera file from a pose\n"
    "       tavo-cam --show FILE.cam      print a camera file as a pose\n"
    "\n"
    "A pose is twelve numbers, three to a line: left, up, forward and\n"
    "position (x y z each).  Text after # on a line is a comment.  The camera\n"
    "file holds them as twelve little-endian 32-bit floats in that order.\n";

static const char *cam_fields[4] = {"left", "up", "forward", "position"};

static int cam_write(const char *in, const char *out)
{
    std::vector<unsigned char> text;
    if (!pcx_readFile(in, text)) {
        fprintf(stderr, "tavo-cam: cannot read %s\n", in);
        return 1;
    }
    std::string s(text.begin(), text.end());
    std::vector<float> values;
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == '#') {
            while (i < s.size() && s[i] != '\n')
                i++;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            i++;
        } else {
            size_t end = s.find_first_of(" \t\r\n#", i);
            std::string word = s.substr(i, end == std::string::npos ? std::string::npos : end - i);
            char *stop;
            float v = strtof(word.c_str(), &stop);
            if (*stop || !isfinite(v)) {
                fprintf(stderr, "tavo-cam: %s: '%s' is not a number\n", in, word.c_str());
                return 1;
            }
            values.push_back(v);
            i += word.size();
        }
    }
    if (values.size() != 12) {
        fprintf(stderr, "tavo-cam: %s: a pose is 12 numbers, found %zu\n", in, values.size());
        return 1;
    }
    std::vector<unsigned char> bytes;
    for (float v : values) {
        uint32_t bits;
        memcpy(&bits, &v, 4);
        for (int b = 0; b < 4; b++)
            bytes.push_back((unsigned char)(bits >> (8 * b)));
    }
    if (!pcx_writeFileDirs(out, bytes)) {
        fprintf(stderr, "tavo-cam: cannot write %s\n", out);
        return 1;
    }
    return 0;
}

static int cam_show(const char *path)
{
    std::vector<unsigned char> bytes;
    if (!pcx_readFile(path, bytes)) {
        fprintf(stderr, "tavo-cam: cannot read %s\n", path);
        return 1;
    }
    if (bytes.size() != 48) {
        fprintf(stderr, "tavo-cam: %s: a camera file is 48 bytes, this one has %zu\n", path,
                bytes.size());
        return 1;
    }
    for (int field = 0; field < 4; field++) {
        for (int k = 0; k < 3; k++) {
            uint32_t bits = 0;
            for (int b = 0; b < 4; b++)
                bits |= (uint32_t)bytes[(field * 3 + k) * 4 + b] << (8 * b);
            float v;
            memcpy(&v, &bits, 4);
            printf("%s%.9g", k ? " " : "", v);
        }
        printf("  # %s\n", cam_fields[field]);
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 2 && !strcmp(argv[1], "--help")) {
        fputs(cam_usage, stdout);
        return 0;
    }
    if (argc == 3 && !strcmp(argv[1], "--show"))
        return cam_show(argv[2]);
    if (argc == 3 && argv[1][0] != '-')
        return cam_write(argv[1], argv[2]);
    fputs(cam_usage, stderr);
    return 1;
}
