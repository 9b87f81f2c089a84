// What an instruction-set file of the entropy engine includes before its
// target region: every header with external-linkage code, so that none of it
// is compiled for one set and then shared with code that runs on any CPU.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "common/remapped_light_field.h"
#include "entropy/plane_entropy.h"
#include "entropy/sorting_network.h"
