// angle brackets reach the same headers
#include <low/Low.h>
