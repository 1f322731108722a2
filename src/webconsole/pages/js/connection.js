// The console's link to the service: the same request documents as a TCP
// client sends, as JSON text over a WebSocket. Answers come back in the
// order of the requests; notifications arrive in between at any time.

export class Connection extends EventTarget {
  constructor(url) {
    super();
    this.url = url;
    this.socket = null;
    this.waiting = [];
    this.handlers = new Map();
    this.retryMs = 1000;
  }

  static forPage() {
    // The page lives below its token: /TOKEN/index.html -> /TOKEN/ws
    const base = location.pathname.replace(/[^/]*$/, '');
    return new Connection(`ws://${location.host}${base}ws`);
  }

  open() {
    const socket = new WebSocket(this.url);
    this.socket = socket;
    socket.addEventListener('open', () => {
      this.retryMs = 1000;
      this.dispatchEvent(new Event('open'));
    });
    socket.addEventListener('message', (event) => this.receive(event.data));
    socket.addEventListener('close', () => {
      const waiting = this.waiting;
      this.waiting = [];
      for (const entry of waiting) entry.reject(new Error('connection closed'));
      this.dispatchEvent(new Event('close'));
      // The service may restart or pause: try again, more slowly each time.
      setTimeout(() => this.open(), this.retryMs);
      this.retryMs = Math.min(this.retryMs * 2, 10000);
    });
  }

  get isOpen() {
    return this.socket && this.socket.readyState === WebSocket.OPEN;
  }

  receive(text) {
    let document;
    try {
      document = JSON.parse(text);
    } catch {
      return;
    }
    if (document && document.notifications) {
      for (const item of document.notifications.list || []) this.notify(item);
      return;
    }
    const entry = this.waiting.shift();
    if (entry) entry.resolve(document);
  }

  notify(item) {
    const handlers = this.handlers.get(handlerKey(item.key, item.device || '')) || [];
    for (const handler of [...handlers]) handler(item.value, item);
  }

  request(document) {
    if (!this.isOpen) return Promise.reject(new Error('not connected'));
    return new Promise((resolve, reject) => {
      this.waiting.push({ resolve, reject });
      this.socket.send(JSON.stringify(document));
    });
  }

  // Runs actions; resolves to their answers, in order.
  async actions(list) {
    const answer = await this.request({ actions: { list: list.map((action, i) => ({ id: i, ...action })) } });
    if (!answer.reactions) throw new Error(answer.error || 'no answer');
    return answer.reactions.list;
  }

  async action(action) {
    return (await this.actions([action]))[0];
  }

  read(device, key) {
    return this.action({ key, device }).then((answer) => answer.value);
  }

  // Writes a property; resolves to the answer ({value, error?}).
  write(device, key, value) {
    return this.action({ key, device, value });
  }

  call(device, key, args) {
    return this.action({ key, device, arguments: args });
  }

  // Subscribes to value changes of (key, device); returns the unsubscribe.
  subscribe(key, device, handler) {
    const id = handlerKey(key, device);
    const list = this.handlers.get(id) || [];
    list.push(handler);
    this.handlers.set(id, list);
    if (list.length === 1) this.register('register', key, device);
    return () => {
      const current = (this.handlers.get(id) || []).filter((h) => h !== handler);
      if (current.length === 0) {
        this.handlers.delete(id);
        this.register('unregister', key, device);
      } else {
        this.handlers.set(id, current);
      }
    };
  }

  // Subscriptions belong to the session: after a reconnection they are made again.
  resubscribe() {
    for (const id of this.handlers.keys()) {
      const [key, device] = JSON.parse(id);
      this.register('register', key, device);
    }
  }

  register(kind, key, device) {
    if (!this.isOpen) return;
    this.action({ key: 'notifications', [kind]: [{ key, device }] }).catch(() => {});
  }
}

function handlerKey(key, device) {
  return JSON.stringify([key, device]);
}
