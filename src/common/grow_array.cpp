#include "common/grow_array.h"

#include <cstdint>
#include <cstring>

#include "common/alloc.h"

int GrowArray(void** items, size_t count, size_t* capacity, size_t itemSize) {
    if (count < *capacity) return 0;
    size_t more = *capacity ? *capacity : 32;
    if (more > SIZE_MAX / 2 / itemSize) return -1;  // the doubled block's size would wrap
    more *= 2;
    void* grown = AllocChecked(more * itemSize);
    if (!grown) return -1;
    if (count) memcpy(grown, *items, count * itemSize);
    FreeChecked(*items);
    *items = grown;
    *capacity = more;
    return 0;
}
