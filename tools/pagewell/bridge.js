// pagewell's page interface: window.pagewell, injected before the page's own scripts.
(function () {
    'use strict';
    if (window.pagewell)
        return;

    var host = null;
    var pending = [];          // calls made before the channel is up
    var listeners = [];
    var unheard = [];          // messages that came before the first listener
    var waiting = {};          // query id -> resolvers, oldest first
    var nextQueryId = 1000000000;
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
        while (waiting[nextQueryId])
            ++nextQueryId;
        return nextQueryId++;
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
    function settle(queryId, text, ok) {
        var list = waiting[queryId];
        if (!list)
            return;
        var resolve = list.shift();
        if (!list.length)
            delete waiting[queryId];
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
                obj = typeof json === 'string' ? JSON.parse(json) : JSON.parse(JSON.stringify(json));
            } catch (e) {
                return Promise.reject(new Error('pagewell.query: not JSON: ' + e.message));
            }
            if (obj === null || typeof obj !== 'object' || Array.isArray(obj))
                return Promise.reject(new Error('pagewell.query: a JSON object is needed'));
            if (obj.queryId === undefined || obj.queryId === null)
                obj.queryId = freshQueryId();
            var text = JSON.stringify(obj);
            return new Promise(function (resolve) {
                (waiting[obj.queryId] = waiting[obj.queryId] || []).push(resolve);
                whenUp(function (h) { h.query(text); });
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
            h.attach();
            host = h;
            var calls = pending;
            pending = [];
            calls.forEach(function (call) { call(h); });
            markReady();
            window.dispatchEvent(new Event('pagewell-ready'));
        });
    }
    connect();
})();
