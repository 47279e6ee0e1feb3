#pragma once

// The small windows of the Help and Batch menus.
#include "shell/about_window.h"
#include "shell/batch_window.h"
#include "shell/current_window.h"
#include "shell/diag_window.h"
