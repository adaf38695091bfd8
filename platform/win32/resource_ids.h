#pragma once
// Resource numbers shared by vmizentro.rc and the window. Kept free of C++ so the resource
// compiler can read it.

#define IDI_ZENTRO 1
#define IDI_REFRESH 2
