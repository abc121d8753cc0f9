// SPDX-License-Identifier: MIT
#pragma once

// Identifiers of the pictures that the program carries as resources (RCDATA, the files as they
// are), shared by the resource script and the code. The icon is resource 1 of the version script.
#define KELMORA_PICTURE_START 101
#define KELMORA_PICTURE_STOP 102
#define KELMORA_PICTURE_TICK 103
#define KELMORA_PICTURE_CROSS 104
#define KELMORA_PICTURE_PROHIBITION 105
#define KELMORA_PICTURE_SHEET 106
#define KELMORA_PICTURE_LOGO 107
#define KELMORA_ICON 1
