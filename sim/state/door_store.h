#pragma once

namespace zarvo::sim {

struct DoorStore {};

}  // namespace zarvo::sim
