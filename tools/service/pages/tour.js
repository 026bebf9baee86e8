// The client's start page: the user context from its URL, three answers asked for at load, the
// server broadcasts it subscribes to, and buttons for page commands and voice queries. Its state
// is kept in window.tour for people and tests:
//   loaded      true once the three load-time answers are in
//   answers     {getRoomInfo, dataTableRequest, protoRequest}: each {text, ok} as the client replied
//   broadcasts  the text of every "protoBroadcast" message received, in order
(function () {
  'use strict';

  var kit = window.tourKit;
  var byId = kit.byId;
  var el = kit.el;

  var BROADCAST_KEY = 'BroadcastResult.OfficialBroadcast';
  var NOTICE_METHOD = 'RoomCmd.getFunRoomNotice';
  var POPUP_PAGE = 'tourpopup';
  var LOAD_TIME = ['getRoomInfo', 'dataTableRequest', 'protoRequest'];

  var tour = window.tour = {loaded: false, answers: {}, broadcasts: []};

  var items = kit.queryItems();
  var activity = new kit.Feed(byId('activity'), 80);
  var broadcastFeed = new kit.Feed(byId('broadcasts'), 50);
  var voiceFeed = new kit.Feed(byId('voice-answers'), 40);
  var client = null;
  var pushed = 0;
  var popups = 0;
  var muted = false;

  // The last item of a name: the client appends its own after any the URL already had.
  function item(name) {
    var value;
    items.forEach(function (pair) {
      if (pair[0] === name)
        value = pair[1];
    });
    return value;
  }

  function stateBadge(reply, ok) {
    var good = ok && reply && reply.state === 1;
    var text = reply ? 'state ' + reply.state : (ok ? 'ok' : '失败');
    return {kind: good ? 'ok' : 'bad', text: text};
  }

  function badgeNode(reply, ok) {
    var b = stateBadge(reply, ok);
    return el('span', 'badge ' + b.kind, b.text);
  }

  // --- the user context ---

  function showUser() {
    var names = ['userId', 'roomId', 'sessionId', 'ABBR', 'isAudio', 'platformId', 'channel', 'isPc', 'version'];
    kit.fillFacts(byId('user-facts'), names.map(function (name) { return [name, item(name)]; }));
    kit.fillQueryTable(byId('query-items'), items);
    byId('query-summary').textContent = '全部 URL 参数（' + items.length + ' 项）';
  }

  // --- the load-time answers ---

  function showRoom(answer) {
    var reply = kit.replyOf(answer.text);
    var b = stateBadge(reply, answer.ok);
    kit.setBadge(byId('room-badge'), b.kind, b.text);
    var data = reply && reply.data && typeof reply.data === 'object' ? reply.data : {};
    kit.fillFacts(byId('room-facts'), Object.keys(data).map(function (key) {
      return [key, JSON.stringify(data[key])];
    }));
    byId('room-raw').textContent = answer.text;
  }

  function showNotice(answer) {
    var reply = kit.replyOf(answer.text);
    var b = stateBadge(reply, answer.ok);
    kit.setBadge(byId('notice-badge'), b.kind, b.text + (reply && reply.errorMsg ? ' · ' + reply.errorMsg : ''));
    var data = reply && reply.data && typeof reply.data === 'object' ? reply.data : null;
    var headline = byId('notice-text');
    if (data && data.content)
      headline.textContent = data.content;
    else
      headline.textContent = reply ? (reply.errorMsg || '（公告为空）') : answer.text;
    byId('notice-raw').textContent = answer.text;
  }

  function showGifts(answer) {
    var rows = answer.ok ? kit.parseJson(answer.text) : undefined;
    var head = byId('gift-head');
    var body = byId('gift-rows');
    kit.clear(head);
    kit.clear(body);
    if (!Array.isArray(rows)) {
      kit.setBadge(byId('gift-badge'), 'bad', answer.ok ? '不是表格' : '失败');
      byId('gift-raw').hidden = false;
      byId('gift-raw').textContent = answer.text;
      return;
    }
    var columns = [];
    rows.forEach(function (row) {
      Object.keys(row && typeof row === 'object' ? row : {}).forEach(function (key) {
        if (columns.indexOf(key) < 0)
          columns.push(key);
      });
    });
    var headRow = el('tr');
    columns.forEach(function (key) { headRow.appendChild(el('th', null, key)); });
    head.appendChild(headRow);
    rows.forEach(function (row) {
      var tr = el('tr');
      columns.forEach(function (key) {
        var value = row && typeof row === 'object' ? row[key] : undefined;
        tr.appendChild(kit.cell(value === undefined ? '' : (typeof value === 'string' ? value : JSON.stringify(value))));
      });
      body.appendChild(tr);
    });
    kit.setBadge(byId('gift-badge'), 'ok', rows.length + ' 行');
  }

  function showProgress() {
    var count = LOAD_TIME.filter(function (name) { return name in tour.answers; }).length;
    var pill = byId('load-state');
    pill.textContent = (count === LOAD_TIME.length ? '已加载 ' : '正在加载 ') + count + '/' + LOAD_TIME.length;
    pill.className = 'pill' + (count === LOAD_TIME.length ? ' up' : '');
    if (count === LOAD_TIME.length)
      tour.loaded = true;
  }

  function loadTime(name, pending, show) {
    pending.then(function (answer) {
      tour.answers[name] = answer;
      try {
        show(answer);
      } finally {
        showProgress();
      }
    });
  }

  // --- broadcasts ---

  function onMessage(message) {
    var text = typeof message === 'string' ? message : JSON.stringify(message);
    var parsed = kit.parseJson(text);
    if (!parsed || parsed.funcName !== 'protoBroadcast') {
      activity.add('消息 ←', text);
      return;
    }
    tour.broadcasts.push(text);
    activity.add('广播 ←', text);
    var param = parsed.param || {};
    var fields = typeof param.protoMsg === 'string' ? kit.parseJson(param.protoMsg) : param.protoMsg;
    var shown;
    if (fields && typeof fields === 'object')
      shown = fields.content !== undefined ? fields.content + (fields.playCount !== undefined ? '  ×' + fields.playCount : '')
                                           : JSON.stringify(fields);
    else
      shown = String(param.protoMsg);
    broadcastFeed.add(String(param.protoKey || '').split('.').pop(), shown);
    kit.setBadge(byId('broadcast-badge'), 'ok', tour.broadcasts.length + ' 条');
  }

  // Asks the service itself (not the client) to push one more broadcast.
  function pushBroadcast() {
    pushed += 1;
    var command = {cmd: 'push', name: BROADCAST_KEY,
                   fields: {content: '页面请服务推送的第 ' + pushed + ' 条广播', playCount: pushed}};
    var answerNode = byId('push-answer');
    answerNode.textContent = '正在请求…';
    fetch('/control', {method: 'POST', headers: {'Content-Type': 'application/json'}, body: JSON.stringify(command)})
      .then(function (response) { return response.text(); })
      .then(function (text) {
        var answer = kit.parseJson(text);
        var note = answer && answer.ok && answer.sent === 0 ? '（服务没有连接着的客户端）' : '';
        answerNode.textContent = '服务答复 ' + text.trim() + note;
      })
      .catch(function (error) {
        answerNode.textContent = '请求失败: ' + error;
      });
  }

  // --- page commands ---

  function showMessage(type) {
    client.command({funcName: 'showMsgDialog', param: {type: type, message: byId('dialog-text').value}});
  }

  function openPopup() {
    popups += 1;
    client.command({funcName: 'openCefWidgetInPc', param: {
      page: POPUP_PAGE,
      query: 'from=virtualpartyopenlive&opened=' + popups,
      location: 1, posX: 300, ' posY': 150,
      widgetWidth: 480, widgetHeight: 460, isCanMove: true
    }});
  }

  var closeTimer = null;
  function closeClient() {
    var button = byId('close-widget');
    if (!closeTimer) {
      // One stray click must not end the client.
      button.classList.add('armed');
      button.textContent = '再点一次关闭客户端';
      byId('close-hint').textContent = '关闭首页会退出客户端';
      closeTimer = setTimeout(function () {
        closeTimer = null;
        button.classList.remove('armed');
        button.textContent = '关闭客户端 (closeWidget)';
        byId('close-hint').textContent = '';
      }, 3000);
      return;
    }
    clearTimeout(closeTimer);
    closeTimer = null;
    client.command({funcName: 'closeWidget', param: {}});
  }

  // --- voice queries ---

  function deviceNames(data) {
    if (!Array.isArray(data))
      return '没有设备';
    return data.map(function (d) { return d.deviceName + ' (' + d.deviceId + ')'; }).join('、');
  }

  function voice(funcName, param, describe) {
    return client.query(funcName, param).then(function (answer) {
      var reply = kit.replyOf(answer.text);
      var extra = document.createDocumentFragment();
      extra.appendChild(badgeNode(reply, answer.ok));
      var words = reply ? (reply.errorMsg ? ' ' + reply.errorMsg : '') : ' ' + answer.text;
      if (reply && describe)
        words += ' ' + describe(reply);
      extra.appendChild(document.createTextNode(words));
      voiceFeed.add(funcName, '', extra);
      return reply && answer.ok && reply.state === 1;
    });
  }

  function fillVoiceInputs() {
    var userId = item('userId');
    byId('voice-user').value = /^\d+$/.test(userId || '') ? userId : '10001';
    byId('voice-room').value = item('roomId') || 'tour-room';
  }

  function wireVoice() {
    byId('voice-set-user').onclick = function () {
      voice('rtcSetSDKUserInfo', {token: byId('voice-token').value,
                                  userId: parseInt(byId('voice-user').value, 10) || 0});
    };
    byId('voice-enter').onclick = function () {
      var room = byId('voice-room').value;
      voice('rtcEnterSDKRoom', {roomId: room}).then(function (done) {
        if (done)
          kit.setBadge(byId('voice-badge'), 'ok', '在房间 ' + room);
      });
    };
    byId('voice-exit').onclick = function () {
      voice('rtcExitSDKRoom', {}).then(function (done) {
        if (done)
          kit.setBadge(byId('voice-badge'), '', '未进房');
      });
    };
    byId('voice-speakers').onclick = function () {
      voice('rtcGetSpeakList', {}, function (reply) { return deviceNames(reply.data); });
    };
    byId('voice-mics').onclick = function () {
      voice('rtcGetMicList', {}, function (reply) { return deviceNames(reply.data); });
    };
    byId('voice-mute').onclick = function () {
      var wanted = !muted;
      voice('rtcSetMuteLocalAudioStream', {mute: wanted}).then(function (done) {
        if (!done)
          return;
        muted = wanted;
        byId('voice-mute').textContent = muted ? '取消静音' : '本地静音';
      });
    };
  }

  // --- start ---

  function bridgeButtons() {
    return Array.prototype.filter.call(document.querySelectorAll('button'), function (b) {
      return b.id !== 'push-broadcast';
    });
  }

  function start(bridge) {
    client = new kit.Client(bridge, activity);
    kit.showBridge(true);
    if (typeof bridge.onMessage === 'function')
      bridge.onMessage(onMessage);
    // Subscribe first: the service pushes its broadcast soon after the client connects.
    client.command({funcName: 'registerRecvProtoBroadcast', param: {protoKey: [BROADCAST_KEY]}});

    loadTime('getRoomInfo', client.query('getRoomInfo', {}), showRoom);
    loadTime('dataTableRequest', client.query('dataTableRequest', {tableName: 'giftList'}), showGifts);
    loadTime('protoRequest', client.query('protoRequest', {protoName: NOTICE_METHOD,
                                                           protoParam: {roomId: item('roomId') || ''}}), showNotice);

    byId('show-toast').onclick = function () { showMessage(1); };
    byId('show-box').onclick = function () { showMessage(0); };
    byId('open-popup').onclick = openPopup;
    byId('close-widget').onclick = closeClient;
    kit.moveWindowBy(document.querySelector('.masthead'), client);
    wireVoice();
  }

  showUser();
  fillVoiceInputs();
  byId('notice-method').textContent = NOTICE_METHOD;
  byId('broadcast-key').textContent = BROADCAST_KEY;
  byId('push-broadcast').onclick = pushBroadcast;
  kit.whenBridge(start, function () {
    kit.showBridge(false, bridgeButtons());
    byId('load-state').textContent = '未加载';
  });
})();
