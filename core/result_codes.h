// The read result codes that read_in returns, and the one table of their messages.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

enum : int {
    CNV_OK = 0,
    CNV_CANT_OPEN = 1,
    CNV_BAD_TRI_MESH_SPEC = 2,
    CNV_CANT_ALLOC_NODE = 3,
    CNV_BAD_TRIANGLE = 4,
    CNV_BAD_POINTS = 5,
    CNV_EMPTY_FILE = 6,
    CNV_BAD_COLOR = 7,
    CNV_BAD_DIRECTION = 8,
    CNV_BAD_VIEWPOINT = 9,
    CNV_BAD_LIGHT = 10,
    CNV_READ_ERROR = 11,  // the input failed part-way (an I/O error, not its end)
};

// The message for a read result with the input's name in place of "%s", without a line end;
// empty for CNV_OK and for codes outside 1..11.
std::string read_result_message(int code, std::string_view inputName);

}  // namespace tarvex
