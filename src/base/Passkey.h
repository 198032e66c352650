#pragma once

namespace ws {

// A method that takes a TPasskey<T> can be called only from T's members: nobody else can make
// the key. It says in the signature who the one caller is, without making T a friend of the
// whole class.
template <typename T>
class TPasskey {
    friend T;
    TPasskey() {}
};

} // namespace ws
