// A connection the gateway can end when it stops: HTTP sessions and viewers.
#pragma once

namespace web {

class Closable {
public:
    virtual void close_now() = 0;

protected:
    ~Closable() = default;
};

}  // namespace web
