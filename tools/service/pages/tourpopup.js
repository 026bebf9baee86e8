// The pop-up page the start page opens: its own URL items, a toast, and "closeWidget", which
// closes only this window. Its title area moves the window.
(function () {
  'use strict';

  var kit = window.tourKit;
  var byId = kit.byId;
  var activity = new kit.Feed(byId('activity'), 30);

  kit.fillQueryTable(byId('query-items'), kit.queryItems());

  kit.whenBridge(function (bridge) {
    var client = new kit.Client(bridge, activity);
    kit.showBridge(true);
    byId('popup-toast').onclick = function () {
      client.command({funcName: 'showMsgDialog', param: {type: 1, message: '来自弹窗页面的问候'}});
    };
    byId('popup-close').onclick = function () {
      client.command({funcName: 'closeWidget', param: {}});
    };
    kit.moveWindowBy(document.querySelector('.masthead'), client);
  }, function () {
    kit.showBridge(false, [byId('popup-toast'), byId('popup-close')]);
  });
})();
