// Small helpers to build the page without markup strings: every text from
// the service goes in as text, never as HTML.

export function h(tag, attributes = {}, ...children) {
  const element = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (value === undefined || value === null || value === false) continue;
    if (name.startsWith('on') && typeof value === 'function') {
      element.addEventListener(name.slice(2), value);
    } else if (name === 'className') {
      element.className = value;
    } else if (name === 'dataset') {
      Object.assign(element.dataset, value);
    } else if (name in element && typeof value !== 'string') {
      element[name] = value;
    } else {
      element.setAttribute(name, value === true ? '' : String(value));
    }
  }
  append(element, children);
  return element;
}

export function append(element, children) {
  for (const child of children.flat()) {
    if (child === undefined || child === null || child === false) continue;
    element.append(child instanceof Node ? child : document.createTextNode(String(child)));
  }
  return element;
}

export function clear(element) {
  while (element.firstChild) element.firstChild.remove();
  return element;
}

// Tabs: a bar of buttons over panels; show(name) switches.
export function tabs(names, onShow) {
  const bar = h('nav', { className: 'tabs', role: 'tablist' });
  const buttons = new Map();
  const show = (name) => {
    for (const [key, button] of buttons) button.setAttribute('aria-selected', String(key === name));
    onShow(name);
  };
  for (const name of names) {
    const button = h('button', { role: 'tab', type: 'button', dataset: { tab: name }, onclick: () => show(name) }, name);
    buttons.set(name, button);
    bar.append(button);
  }
  return { bar, show };
}
