// Helpers shared by the start page and its pop-up: the client's bridge (window.pagewell, put
// there by the web host), the page's URL items and a few DOM builders.
(function () {
  'use strict';

  function byId(id) {
    return document.getElementById(id);
  }

  function el(tag, className, text) {
    var node = document.createElement(tag);
    if (className)
      node.className = className;
    if (text !== undefined && text !== null)
      node.textContent = String(text);
    return node;
  }

  // A table cell; long texts may wrap anywhere, short ones stay on one line.
  function cell(text) {
    text = String(text);
    return el('td', text.length > 24 ? 'long' : null, text);
  }

  function clear(node) {
    while (node.firstChild)
      node.removeChild(node.firstChild);
  }

  // The page URL's query items in their order, as [name, value] pairs.
  function queryItems() {
    var items = [];
    new URLSearchParams(window.location.search).forEach(function (value, name) {
      items.push([name, value]);
    });
    return items;
  }

  function parseJson(text) {
    try {
      return JSON.parse(text);
    } catch (e) {
      return undefined;
    }
  }

  function clock() {
    var d = new Date();
    function two(n) { return (n < 10 ? '0' : '') + n; }
    return two(d.getHours()) + ':' + two(d.getMinutes()) + ':' + two(d.getSeconds());
  }

  function setBadge(node, kind, text) {
    node.className = 'badge' + (kind ? ' ' + kind : '');
    node.textContent = text;
  }

  // A list that shows its newest entry first; the placeholder goes with the first entry.
  function Feed(list, limit) {
    this.list = list;
    this.limit = limit || 100;
  }
  Feed.prototype.add = function (what, text, extraNode) {
    var placeholder = this.list.querySelector('.empty');
    if (placeholder)
      this.list.removeChild(placeholder);
    var item = el('li');
    item.appendChild(el('span', 'time', clock()));
    if (what)
      item.appendChild(el('span', 'what', what));
    var body = el('span', 'text', text);
    if (extraNode)
      body.appendChild(extraNode);
    item.appendChild(body);
    this.list.insertBefore(item, this.list.firstChild);
    while (this.list.children.length > this.limit)
      this.list.removeChild(this.list.lastChild);
    return item;
  };

  // Calls onReady with window.pagewell as soon as it is there; onMissing when it has not come
  // within a short wait (the page was opened outside the client).
  function whenBridge(onReady, onMissing) {
    if (window.pagewell) {
      onReady(window.pagewell);
      return;
    }
    var waited = 0;
    var timer = setInterval(function () {
      waited += 100;
      if (window.pagewell) {
        clearInterval(timer);
        onReady(window.pagewell);
      } else if (waited >= 3000) {
        clearInterval(timer);
        onMissing();
      }
    }, 100);
  }

  // Commands and queries through the bridge, each written to the activity feed.
  function Client(bridge, activity) {
    this.bridge = bridge;
    this.activity = activity;
  }
  Client.prototype.command = function (message) {
    try {
      this.bridge.command(message);
      this.activity.add('命令 →', message.funcName + ' ' + JSON.stringify(message.param || {}));
      return true;
    } catch (e) {
      this.activity.add('命令 ✗', message.funcName + ' ' + e);
      return false;
    }
  };
  // A Promise of {text, ok}; a bridge failure becomes {text: <the error>, ok: false}.
  Client.prototype.query = function (funcName, param) {
    var activity = this.activity;
    var message = {funcName: funcName, param: param || {}};
    activity.add('查询 →', funcName + ' ' + JSON.stringify(message.param));
    var pending;
    try {
      pending = Promise.resolve(this.bridge.query(message));
    } catch (e) {
      pending = Promise.reject(e);
    }
    return pending.then(function (answer) {
      var text = answer && answer.text !== undefined && answer.text !== null ? String(answer.text) : '';
      return {text: text, ok: !!(answer && answer.ok)};
    }, function (error) {
      return {text: '桥调用失败: ' + error, ok: false};
    }).then(function (answer) {
      activity.add('答复 ←', funcName + (answer.ok ? ' ok ' : ' 失败 ') + answer.text);
      return answer;
    });
  };

  // The window has no frame of its own: pressing the handle lets the client move it with the
  // mouse ("beginMoveWidget") until the button is let go ("endMoveWidget"). The client stops on
  // its own when the cursor leaves the window.
  function moveWindowBy(handle, client) {
    var moving = false;
    function end() {
      if (!moving)
        return;
      moving = false;
      client.command({funcName: 'endMoveWidget', param: {}});
    }
    handle.addEventListener('mousedown', function (event) {
      if (event.button !== 0 || moving)
        return;
      event.preventDefault();
      moving = true;
      client.command({funcName: 'beginMoveWidget', param: {}});
    });
    window.addEventListener('mouseup', end, true);
    window.addEventListener('blur', end);
  }

  // The reply format {"state":n,"errorMsg":..,"data":..}; null when the text is something else.
  function replyOf(text) {
    var reply = parseJson(text);
    return reply && typeof reply === 'object' && !Array.isArray(reply) && 'state' in reply ? reply : null;
  }

  function fillFacts(dl, pairs) {
    clear(dl);
    pairs.forEach(function (pair) {
      var box = el('div');
      box.appendChild(el('dt', null, pair[0]));
      var value = pair[1];
      var empty = value === undefined || value === null || value === '';
      box.appendChild(el('dd', empty ? 'empty' : null, empty ? '（空）' : String(value)));
      box.title = pair[0] + ' = ' + (empty ? '' : String(value));
      dl.appendChild(box);
    });
  }

  function fillQueryTable(tbody, items) {
    clear(tbody);
    items.forEach(function (item) {
      var row = el('tr');
      row.appendChild(cell(item[0]));
      row.appendChild(cell(item[1]));
      tbody.appendChild(row);
    });
  }

  // Shows the bridge state in the header pill and, without a bridge, the note and disabled buttons.
  function showBridge(up, buttons) {
    var pill = byId('bridge-state');
    pill.className = 'pill ' + (up ? 'up' : 'down');
    pill.textContent = up ? '已连接客户端' : '未在客户端内';
    byId('no-bridge').hidden = up;
    if (!up)
      (buttons || []).forEach(function (b) { b.disabled = true; });
  }

  window.tourKit = {
    byId: byId,
    el: el,
    cell: cell,
    clear: clear,
    queryItems: queryItems,
    parseJson: parseJson,
    setBadge: setBadge,
    Feed: Feed,
    whenBridge: whenBridge,
    Client: Client,
    moveWindowBy: moveWindowBy,
    replyOf: replyOf,
    fillFacts: fillFacts,
    fillQueryTable: fillQueryTable,
    showBridge: showBridge
  };
})();
