#pragma once

namespace zarvo::sim {

struct TableStore {};

}  // namespace zarvo::sim
