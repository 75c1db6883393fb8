#pragma once

namespace kivo {

// The main window's commands. Menu items, keys and tool buttons all arrive as
// one of these, and the dial-up flow and the start-up options post them.
enum class Command {
  Exit = 40001,
  About = 40002,
  NewEntry = 40003,
  EditEntry = 40004,
  DeleteEntries = 40005,
  RunPatrol = 40006,
  ViewEntry = 40008,
  Options = 40010,
  ResetUpdateTime = 40012,
  PatrolAll = 40013,
  PatrolSelected = 40014,
  ShowHistory = 40015,
};

}  // namespace kivo
