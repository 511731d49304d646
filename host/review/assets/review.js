// The review page: asks the server what changed (api/state), shows every file, and posts the
// person's decisions. Every text from the server goes in as text (textContent), never as
// markup: a tag may hold anything.
'use strict';

(() => {
  const token = location.pathname.split('/')[1];
  const $ = (id) => document.getElementById(id);
  const files = new Map();  // file number -> { data, item }
  const view = { version: 0, phase: '', counts: {}, coverage: { folders: [], artists: [] },
                 filter: 'all', folder: '', by: 'folders', ended: false, timer: 0 };

  const FILTERS = [
    ['all', 'All'], ['found', 'Found'], ['doubtful', 'Doubtful'], ['not found', 'Not found'],
    ['holding', 'Has lyrics'], ['failed', 'Failed'], ['written', 'Written'], ['waiting', 'Waiting'],
  ];
  const STATE_LABEL = {
    'waiting': 'waiting', 'found': 'found', 'doubtful': 'doubtful', 'not found': 'not found',
    'has lyrics': 'has lyrics', 'failed': 'failed', 'written': 'written', 'stopped': 'stopped',
  };

  function say(text) { $('message').textContent = text || ''; }

  async function post(action, fields) {
    say('');
    let answer;
    try {
      const response = await fetch('api/' + action, {
        method: 'POST',
        headers: { 'X-Tunewell-Token': token },
        body: new URLSearchParams(fields || {}),
      });
      answer = await response.json().catch(() => ({ ok: false, error: response.statusText }));
    } catch (e) {
      answer = { ok: false, error: 'the review is not answering' };
    }
    if (!answer.ok) say(answer.error || 'refused');
    poll();
    return answer.ok;
  }

  // --- the list of files ---

  function holding(d) { return d.state === 'has lyrics' || d.state === 'written' || d.held !== null; }

  function shown(d) {
    if (view.folder && d.folder !== view.folder) return false;
    if (view.filter === 'all') return true;
    if (view.filter === 'holding') return holding(d);
    return d.state === view.filter;
  }

  function names(artist, title) {
    return (artist === null ? '?' : artist) + ' \u2013 ' + (title === null ? '?' : title);
  }

  function fillLyrics(box, lyrics, number, which) {
    box.hidden = lyrics === null;
    if (lyrics === null) return;
    const text = box.querySelector('.text');
    const more = box.querySelector('.more');
    text.textContent = lyrics.preview;
    more.hidden = lyrics.lines <= 4;
    more.textContent = 'Show all ' + lyrics.lines + ' lines';
    more.setAttribute('aria-expanded', 'false');
    more.onclick = async () => {
      if (more.getAttribute('aria-expanded') === 'true') {
        text.textContent = lyrics.preview;
        more.textContent = 'Show all ' + lyrics.lines + ' lines';
        more.setAttribute('aria-expanded', 'false');
        return;
      }
      const response = await fetch('api/lyrics?file=' + number);
      if (!response.ok) return say('The lyrics could not be fetched.');
      const whole = await response.json();
      text.textContent = whole[which] || '';
      more.textContent = 'Show less';
      more.setAttribute('aria-expanded', 'true');
    };
  }

  function matchText(d) {
    const line = document.createDocumentFragment();
    if (d.match === null) {
      line.append(d.state === 'not found' ? 'No song matched.' : '');
      return line;
    }
    const level = document.createElement('span');
    level.className = 'level';
    level.textContent = d.match.level;
    line.append('Matched ', names(d.match.artist, d.match.title), ' \u00b7 ', level);
    if (d.match.differences.length) line.append(' (differs in: ' + d.match.differences.join(', ') + ')');
    return line;
  }

  function fill(entry) {
    const d = entry.data;
    const item = entry.item;
    item.className = 'file state-' + d.state.replace(' ', '-') + ' decision-' + d.decision;
    item.dataset.file = d.file;
    item.dataset.state = d.state;
    item.dataset.decision = d.decision;
    item.querySelector('.badge').textContent = d.busy ? 'working\u2026' : STATE_LABEL[d.state];
    item.querySelector('.name').textContent = d.name;
    item.querySelector('.where').textContent = d.folder;
    const searched = d.artist === null ? 'No artist and title to search by.'
      : 'Searched as ' + names(d.artist, d.title) +
        (d.edited ? ' (names edited)' : d.from_file_name ? ' (from the file name)' : '');
    item.querySelector('.names').textContent = searched;
    item.querySelector('.match').replaceChildren(matchText(d));
    fillLyrics(item.querySelector('.found'), d.found, d.file, 'found');
    const held = item.querySelector('.held');
    fillLyrics(held, d.held, d.file, 'held');
    if (d.held !== null) {
      const where = [d.held.field, d.held.language, d.held.description && '\u201c' + d.held.description + '\u201d']
        .filter(Boolean).join(', ');
      held.querySelector('.held-title').textContent = 'Holds lyrics' + (where ? ' (' + where + ')' : '');
    }
    const note = [d.error, d.note].filter((t) => t !== null && t !== '').join(' \u00b7 ');
    item.querySelector('.note').textContent = note;
    const decidable = d.found !== null && !d.busy && !view.ended;
    for (const [cls, decision] of [['accept', 'accept'], ['skip', 'skip']]) {
      const button = item.querySelector('.' + cls);
      button.disabled = !decidable;
      button.setAttribute('aria-pressed', String(d.decision === decision));
    }
    const again = item.querySelector('.again');
    again.disabled = d.busy || view.ended || d.state === 'written' ||
      (d.state === 'has lyrics' && !view.replaces);
    item.hidden = !shown(d);
  }

  function makeItem(number) {
    const item = $('file-template').content.firstElementChild.cloneNode(true);
    item.tabIndex = -1;
    const decide = (decision) => {
      const d = files.get(number).data;
      post('decide', { file: number, decision: d.decision === decision ? 'undecided' : decision });
    };
    item.querySelector('.accept').onclick = () => decide('accept');
    item.querySelector('.skip').onclick = () => decide('skip');
    const form = item.querySelector('.search');
    const again = item.querySelector('.again');
    const close = () => { form.hidden = true; again.setAttribute('aria-expanded', 'false'); again.focus(); };
    again.onclick = () => {
      const d = files.get(number).data;
      form.hidden = !form.hidden;
      again.setAttribute('aria-expanded', String(!form.hidden));
      if (form.hidden) return;
      form.elements.artist.value = d.artist || '';
      form.elements.title.value = d.title || '';
      form.elements.artist.focus();
    };
    form.querySelector('.cancel').onclick = close;
    form.onsubmit = (event) => {
      event.preventDefault();
      post('search', { file: number, artist: form.elements.artist.value, title: form.elements.title.value });
      close();
    };
    return item;
  }

  function place(entry) {
    const list = $('files');
    const number = entry.data.file;
    let before = null;
    for (const other of list.children) {
      if (Number(other.dataset.file) > number) { before = other; break; }
    }
    list.insertBefore(entry.item, before);
  }

  // --- filters, counts and coverage ---

  function drawFilters() {
    const box = $('filters');
    if (!box.children.length) {
      for (const [key, label] of FILTERS) {
        const button = document.createElement('button');
        button.type = 'button';
        button.dataset.filter = key;
        button.dataset.label = label;
        button.onclick = () => { view.filter = key; drawFilters(); redrawList(); };
        box.append(button);
      }
    }
    for (const button of box.children) {
      const key = button.dataset.filter;
      const count = key === 'all' ? view.total : key === 'holding' ? view.counts.holding : view.counts[key];
      button.textContent = button.dataset.label + ' ';
      const number = document.createElement('span');
      number.className = 'count';
      number.textContent = String(count === undefined ? 0 : count);
      button.append(number);
      button.setAttribute('aria-pressed', String(view.filter === key));
    }
  }

  function drawFolders() {
    const select = $('folder');
    const known = new Set(Array.from(select.options, (o) => o.value));
    for (const row of view.coverage.folders) {
      if (known.has(row.name)) continue;
      const option = document.createElement('option');
      option.value = row.name;
      option.textContent = row.name;
      select.append(option);
    }
  }

  function drawCoverage() {
    const body = $('coverage').tBodies[0];
    body.replaceChildren();
    $('coverage-group').textContent = view.by === 'folders' ? 'Folder' : 'Artist';
    for (const row of view.coverage[view.by]) {
      const tr = document.createElement('tr');
      tr.dataset.name = row.name;
      tr.dataset.total = row.total;
      tr.dataset.with = row.with;
      tr.dataset.accepted = row.accepted;
      const name = document.createElement('td');
      name.textContent = row.name;
      const barCell = document.createElement('td');
      const bar = document.createElement('div');
      bar.className = 'bar';
      bar.setAttribute('role', 'img');
      bar.setAttribute('aria-label', row.with + ' of ' + row.total + ' hold lyrics, ' + row.accepted + ' accepted');
      for (const part of ['with', 'accepted']) {
        const span = document.createElement('span');
        span.className = part;
        span.style.width = (row.total ? 100 * row[part] / row.total : 0) + '%';
        bar.append(span);
      }
      barCell.append(bar);
      const numbers = document.createElement('td');
      const percent = row.total ? Math.round(100 * row.with / row.total) : 0;
      numbers.textContent = row.with + ' of ' + row.total + ' (' + percent + '%)' +
        (row.accepted ? ', +' + row.accepted + ' accepted' : '') +
        (row.waiting ? ', ' + row.waiting + ' waiting' : '');
      tr.append(name, barCell, numbers);
      body.append(tr);
    }
  }

  function redrawList() {
    let any = false;
    for (const entry of files.values()) {
      entry.item.hidden = !shown(entry.data);
      any = any || !entry.item.hidden;
    }
    $('empty').hidden = any;
  }

  function drawStatus() {
    const words = {
      searching: 'Searching: ' + view.reached + ' of ' + view.total + ' files looked at.',
      working: 'Working on what you asked\u2026',
      ready: 'Ready: ' + view.total + ' files. Accept or skip, then write the accepted ones.',
      finished: 'The review has ended; the summary is in the terminal.',
    };
    $('status').textContent = words[view.phase] || '';
    $('write').disabled = view.ended;
    $('finish').disabled = view.ended;
    document.body.dataset.phase = view.phase;
  }

  function apply(state) {
    view.version = state.version;
    view.phase = state.phase;
    view.total = state.total;
    view.reached = state.reached;
    view.replaces = state.replaces_lyrics;
    view.counts = state.counts;
    view.coverage = state.coverage;
    if (state.phase === 'finished') view.ended = true;
    for (const d of state.files) {
      let entry = files.get(d.file);
      if (!entry) {
        entry = { data: d, item: makeItem(d.file) };
        files.set(d.file, entry);
        place(entry);
      }
      entry.data = d;
      fill(entry);
    }
    if (view.ended) for (const entry of files.values()) fill(entry);
    drawStatus();
    drawFilters();
    drawFolders();
    drawCoverage();
    redrawList();
  }

  async function poll() {
    clearTimeout(view.timer);
    if (view.ended) return;
    try {
      const response = await fetch('api/state?since=' + view.version);
      if (!response.ok) throw new Error(response.statusText);
      apply(await response.json());
    } catch (e) {
      view.ended = true;
      $('status').textContent = 'The review is not answering: it has ended.';
      $('write').disabled = true;
      $('finish').disabled = true;
      document.body.dataset.phase = 'gone';
      return;
    }
    view.timer = setTimeout(poll, view.phase === 'ready' ? 2000 : 700);
  }

  // --- keys ---

  function moveFocus(item, step) {
    const visible = Array.from($('files').children).filter((li) => !li.hidden);
    const next = visible[visible.indexOf(item) + step];
    if (next) next.focus();
  }

  $('files').addEventListener('keydown', (event) => {
    if (event.target.closest('form') || event.ctrlKey || event.altKey || event.metaKey) return;
    const item = event.target.closest('li.file');
    if (!item) return;
    const press = { a: '.accept', s: '.skip', e: '.again' }[event.key];
    if (press) {
      const button = item.querySelector(press);
      if (!button.disabled) button.click();
    } else if (event.key === 'j' || event.key === 'k') {
      moveFocus(item, event.key === 'j' ? 1 : -1);
    } else {
      return;
    }
    event.preventDefault();
  });

  $('write').onclick = () => post('write');
  $('finish').onclick = async () => {
    const waiting = Array.from(files.values()).filter(
      (e) => e.data.decision === 'accept' && e.data.found !== null).length;
    if (waiting && !confirm(waiting + ' accepted files are not written yet. Finish without writing them?')) return;
    if (await post('finish')) {
      view.ended = true;
      view.phase = 'finished';
      for (const entry of files.values()) fill(entry);
      drawStatus();
    }
  };
  $('folder').onchange = (event) => { view.folder = event.target.value; redrawList(); };
  for (const button of document.querySelectorAll('button.by')) {
    button.onclick = () => {
      view.by = button.dataset.by;
      for (const other of document.querySelectorAll('button.by')) {
        other.setAttribute('aria-pressed', String(other === button));
      }
      drawCoverage();
    };
  }

  poll();
})();
