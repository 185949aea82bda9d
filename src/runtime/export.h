// What the shared libraries export. They are built with every symbol hidden
// (-fvisibility=hidden, inline functions too); a class or function declared
// with Q6FD_API is visible to programs that link them. Everything declared in
// an installed header that a program can call carries it.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define Q6FD_API __attribute__((visibility("default")))
#else
#define Q6FD_API
#endif
