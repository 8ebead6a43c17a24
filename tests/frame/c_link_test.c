/* A C program built against kordex.h alone and linked with libkordex.so. */
#include <stdio.h>
#include <string.h>

#include "kordex.h"

int main(void)
{
    char home[256];
    int32_t width = 0, height = 0;
    if (KX_IsUnicode() != 0) return 1;
    if (KX_GetHomeDirectory(home) != (int32_t)strlen(home) + 1) return 2;
    if (KXC_GetImageDim(&width, &height) != 1 || width != 688 || height != 910) return 3;
    printf("linked: home %s, image %d x %d\n", home, width, height);
    return 0;
}
