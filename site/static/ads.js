// Advertising slots: the real ad server is not reachable from the bundled site, so slots
// only reserve their space.
var twAds = {
  slot: function (name, width, height) {
    var box = document.createElement('span');
    box.className = 'tw-ad-slot tw-ad-' + name;
    box.style.display = 'inline-block';
    box.style.width = width + 'px';
    box.style.height = height + 'px';
    var scripts = document.getElementsByTagName('script');
    var me = scripts[scripts.length - 1];
    me.parentNode.insertBefore(box, me);
  }
};
