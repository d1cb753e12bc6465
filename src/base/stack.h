// stack.h -- a fixed 4096-byte scratch stack for temporary values
#ifndef TAVO_STACK_H
#define TAVO_STACK_H

#define STACK_SIZE 4096

extern unsigned char stack_data[STACK_SIZE];
extern int stack_offset;

void push(const void *src, int len);  // src null: zero-filled
void pop(void *dst, int len);         // dst null: discarded
void clear(void);
void *stack(int depth);               // stack_data + stack_offset - depth

#endif
