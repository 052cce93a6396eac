#pragma once

namespace zarvo::sim {

struct CardStore {};

}  // namespace zarvo::sim
