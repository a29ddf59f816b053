#pragma once

// Lets the window system handle pending events and repaints in the middle of a long stage.
void yieldToWindowSystem();
