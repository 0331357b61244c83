#pragma once

// Program icon, menu, toolbar and accelerators share this id.
#define IDR_MAINFRAME 128
