// Holds a member at a value while a scope lasts, and puts `after` back however the scope ends: the
// port's members that stand for the length of a close, an open report or a dispatch.
#pragma once

#include <atomic>
#include <utility>

namespace serial {

template <class T> struct TValueOf { using type = T; };
template <class T> struct TValueOf<std::atomic<T>> { using type = T; };

template <class T>
class THeldFor {
    using V = typename TValueOf<T>::type;

public:
    THeldFor(T& member, V during, V after = V{}) : member_(member), after_(std::move(after)) {
        member_ = std::move(during);
    }
    ~THeldFor() { member_ = std::move(after_); }
    THeldFor(const THeldFor&) = delete;
    THeldFor& operator=(const THeldFor&) = delete;

private:
    T& member_;
    V after_;
};

}  // namespace serial
