#pragma once

namespace App {
// Runs the tray application until the user quits it.
int main(int argc, char** argv);
} // namespace App
