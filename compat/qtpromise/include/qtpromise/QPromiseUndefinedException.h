#pragma once

namespace QtPromise {

// What a promise rejected without a value (reject()) carries.
struct QPromiseUndefinedException
{
};

} // namespace QtPromise
