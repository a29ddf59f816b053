#pragma once

// The offscreen application that core tests drawing with fonts need: made once, on first use.
void ensureGuiApplication();
