// stack.cpp -- the fixed 4096-byte value stack for temporaries
#include "stack.h"

#include <string.h>

#include "error.h"

// Aligned for floats: the polygon code keeps Vectors here and works on them in place.
alignas(float) unsigned char stack_data[STACK_SIZE];
int stack_offset;

// Every level is checked before stack_offset moves, in 64 bits so that no
// length can overflow the sum; a refused operation leaves the stack as it was.
static bool stack_fits(long long level)
{
    return level >= 0 && level <= STACK_SIZE;
}

void push(const void *src, int len)
{
    long long level = (long long)stack_offset + len;
    if (len < 0 || !stack_fits(level))
        error(ERROR_STACK);
    unsigned char *top = stack_data + stack_offset;
    if (src)
        memmove(top, src, (size_t)len);  // src may itself lie in the stack
    else
        memset(top, 0, (size_t)len);
    stack_offset = (int)level;
}

void pop(void *dst, int len)
{
    long long level = (long long)stack_offset - len;
    if (len < 0 || !stack_fits(level))
        error(ERROR_STACK);
    stack_offset = (int)level;
    if (dst)
        memmove(dst, stack_data + stack_offset, (size_t)len);
}

void clear(void)
{
    stack_offset = 0;
}

void *stack(int depth)
{
    // A negative depth would look above the top; refuse it once it leaves the array.
    long long at = (long long)stack_offset - depth;
    if (!stack_fits(at))
        error(ERROR_STACK);
    return stack_data + at;
}
