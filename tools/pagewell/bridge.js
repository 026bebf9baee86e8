// pagewell's page interface: window.pagewell, injected before the page's own scripts.
(function () {
    'use strict';
    if (window.pagewell)
        return;

    // What the client and the channel accept: the client reads queryId as a 32-bit integer and
    // gives up on JSON nested deeper than 1000 levels; the channel drops a message of 64 Mi
    // UTF-16 units (with its own envelope) without a word.
    var MIN_QUERY_ID = -2147483648;
    var MAX_QUERY_ID = 2147483647;
    var FIRST_QUERY_ID = 1000000000;
    var MAX_DEPTH = 1000;
    var MAX_LENGTH = 67108864 - 4096;

    var host = null;
    var pending = [];          // calls made before the channel is up
    var listeners = [];
    var unheard = [];          // messages that came before the first listener
    var waiting = {};          // wire id -> resolver of the query that went out under it
    var idsInUse = {};         // query id -> how many of this document's queries wait with it
    var nextQueryId = FIRST_QUERY_ID;
    var markReady;
    var ready = new Promise(function (resolve) { markReady = resolve; });

    function asText(json) {
        return typeof json === 'string' ? json : JSON.stringify(json);
    }
    function whenUp(call) {
        if (host)
            call(host);
        else
            pending.push(call);
    }
    function freshQueryId() {
        for (;;) {
            if (nextQueryId > MAX_QUERY_ID)
                nextQueryId = FIRST_QUERY_ID;
            if (!idsInUse[nextQueryId])
                return nextQueryId++;
            ++nextQueryId;
        }
    }
    // Levels of nesting, the value itself counting one; walked without recursion, so a value
    // nested far deeper than the stack allows is measured too.
    function depthOf(value) {
        var deepest = 0;
        var stack = [[value, 1]];
        while (stack.length) {
            var top = stack.pop();
            var v = top[0];
            var depth = top[1];
            if (depth > deepest)
                deepest = depth;
            if (deepest > MAX_DEPTH)
                break;
            if (v !== null && typeof v === 'object')
                Object.keys(v).forEach(function (key) { stack.push([v[key], depth + 1]); });
        }
        return deepest;
    }
    // The query as a plain object, or the reason it cannot go out.
    function checkedQuery(json) {
        var obj;
        try {
            obj = typeof json === 'string' ? JSON.parse(json) : JSON.parse(JSON.stringify(json));
        } catch (e) {
            // Reading and writing JSON recurse: a deep enough value runs out of stack.
            if (e instanceof RangeError && /call stack/i.test(e.message))
                return 'nested deeper than ' + MAX_DEPTH + ' levels';
            return 'not JSON: ' + e.message;
        }
        if (obj === null || typeof obj !== 'object' || Array.isArray(obj))
            return 'a JSON object is needed';
        if (!Object.prototype.hasOwnProperty.call(obj, 'funcName'))
            return 'funcName is missing';
        var id = obj.queryId;
        if (id !== undefined && id !== null &&
            !(Number.isInteger(id) && id >= MIN_QUERY_ID && id <= MAX_QUERY_ID))
            return 'queryId must be an integer from ' + MIN_QUERY_ID + ' to ' + MAX_QUERY_ID + ', not ' +
                   JSON.stringify(id).slice(0, 40);
        if (depthOf(obj) > MAX_DEPTH)
            return 'nested deeper than ' + MAX_DEPTH + ' levels';
        // The id the query gets has at most 11 characters.
        var length = JSON.stringify(obj).length + 24;
        if (length > MAX_LENGTH)
            return 'the query is ' + length + ' characters long, at most ' + MAX_LENGTH + ' go through';
        return obj;
    }
    function hear(text) {
        if (!listeners.length) {
            if (unheard.length < 1000)
                unheard.push(text);
            return;
        }
        listeners.slice().forEach(function (fn) {
            try { fn(text); } catch (e) { console.error('pagewell.onMessage listener:', e); }
        });
    }
    function release(queryId) {
        if (--idsInUse[queryId] <= 0)
            delete idsInUse[queryId];
    }
    function settle(wireId, text, ok) {
        var resolve = waiting[wireId];
        if (!resolve)
            return;
        delete waiting[wireId];
        resolve({ text: text, ok: ok });
    }

    window.pagewell = {
        command: function (json) {
            var text = asText(json);
            whenUp(function (h) { h.command(text); });
        },
        query: function (json) {
            var obj;
            try {
                obj = checkedQuery(json);
            } catch (e) {
                obj = String(e);
            }
            if (typeof obj === 'string')
                return Promise.reject(new Error('pagewell.query: ' + obj));
            return new Promise(function (resolve) {
                // Ids are given as the query goes out: each document of a view numbers on from
                // where the one before it stopped.
                whenUp(function (h) {
                    if (obj.queryId === undefined || obj.queryId === null)
                        obj.queryId = freshQueryId();
                    var queryId = obj.queryId;
                    idsInUse[queryId] = (idsInUse[queryId] || 0) + 1;
                    // Replies are matched by the wire id the host gave the query, so two waiting
                    // queries with one id each get their own. The host answers this call before
                    // any reply to it can come: replies come from the client, after the query.
                    h.query(JSON.stringify(obj), function (wireId) {
                        if (!wireId) {
                            release(queryId);
                            return;
                        }
                        waiting[wireId] = function (answer) {
                            release(queryId);
                            resolve(answer);
                        };
                    });
                });
            });
        },
        onMessage: function (fn) {
            if (typeof fn !== 'function')
                return;
            listeners.push(fn);
            var held = unheard;
            unheard = [];
            held.forEach(hear);
        },
        ready: ready
    };

    function connect() {
        if (!(window.qt && window.qt.webChannelTransport && window.QWebChannel)) {
            setTimeout(connect, 10);
            return;
        }
        new QWebChannel(window.qt.webChannelTransport, function (channel) {
            var h = channel.objects.pagewellHost;
            h.message.connect(hear);
            h.reply.connect(settle);
            h.attach(function (firstQueryId) {
                if (Number.isInteger(firstQueryId) && firstQueryId >= FIRST_QUERY_ID && firstQueryId <= MAX_QUERY_ID)
                    nextQueryId = firstQueryId;
                host = h;
                var calls = pending;
                pending = [];
                calls.forEach(function (call) { call(h); });
                markReady();
                window.dispatchEvent(new Event('pagewell-ready'));
            });
        });
    }
    connect();
})();
